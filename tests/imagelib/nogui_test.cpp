// The library in a plain program with no GUI (no Qt application), loaded by
// name as a script would: the image road works, window calls refuse.
#include <gtest/gtest.h>

#include "plenkit_api.h"
#include "testkit/pictures.h"

namespace {

TEST(NoGui, OneFrameGoesFromFileToJpegWithoutAGui) {
  const PlenkitApi& api = plenkit();
  ASSERT_TRUE(api.loaded) << api.error;
  ScratchDir dir;
  const std::string jpg = dir.file("cap0.jpg");

  // A fresh process has no JPEG yet.
  ASSERT_EQ(api.BitMapOpen(0, dir.put("in.bmp", quartersBmp24(640, 480)).c_str()), 0);
  EXPECT_EQ(api.JpgFileSend(jpg.c_str()), 0);

  EXPECT_EQ(api.BmpScalConv(27, 5), 0);
  EXPECT_EQ(api.BmpColChange(15, 12, 8, 10), 0);
  const int32_t length = api.BmptoJpgConvert(50);
  ASSERT_GT(length, 0);
  ASSERT_EQ(api.JpgFileSend(jpg.c_str()), length);
  const Bytes jpeg = readBytes(jpg);
  ASSERT_EQ(jpeg.size(), static_cast<size_t>(length));
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);
  EXPECT_EQ(api.BmpFileSend(dir.file("cap0.bmp").c_str()), 921654);

  // Planar frames are decoded without any window.
  const Bytes frame = makePlanarFrame(
      320, 240, FOURCC_IYUV, [](int x, int) { return uint8_t(x / 2); }, 90, 200);
  ASSERT_EQ(api.BitMapOpen(0, dir.put("selvane.bmp", frame).c_str()), 0);
  EXPECT_EQ(api.BmpFileSend(dir.file("frame.bmp").c_str()), 230454);
  EXPECT_EQ(api.BitMapClose(), 0);
}

TEST(NoGui, WindowCallsRefuseQuietly) {
  const PlenkitApi& api = plenkit();
  ASSERT_TRUE(api.loaded) << api.error;
  const HWND unknown = 1234;
  EXPECT_EQ(api.GetTempDir(unknown), 1);
  EXPECT_EQ(api.GetDirName("/", "x", "a\n*\n", unknown), 1);
  EXPECT_EQ(api.BitDispWindSet(0, unknown), 1);
  EXPECT_EQ(api.BmpDisp(0), 1);
  EXPECT_EQ(api.BmpDispCopy(0, 1), 1);
  EXPECT_EQ(api.BitDispWindReset(0), 0);
  EXPECT_EQ(api.ClickMessageSend(unknown), 0);
}

}  // namespace
