// Loading BMP files into the image buffer, writing them back, JPEG
// conversion, and files the library must refuse.
#include <fcntl.h>
#include <libyuv/convert_argb.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <utility>

#include "bmp_headers.h"
#include "plenkit_fixture.h"
#include "reference_transforms.h"
#include "testkit/pictures.h"

namespace {

using BitmapTest = PlenkitTest;

Bytes cut(Bytes bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

// The headers and the first 1,000 pixel bytes, the size field saying so.
Bytes shortened(const Bytes& bmp) {
  return withHeaders(cut(bmp, 54 + 1000), [](auto& file, auto&) { file.bfSize = 54 + 1000; });
}

TEST_F(BitmapTest, OnlyReadableFilesStartingWithBmAreOpened) {
  const Bytes good = noiseBmp24(64, 48, 1);
  Bytes notBmp = good;
  notBmp[0] = 'X';
  const std::pair<const char*, std::string> cases[] = {
      {"missing file", dir.file("missing.bmp")},
      {"not BM", dir.put("x.bmp", notBmp)},
      {"shorter than the file header", dir.put("short.bmp", cut(good, 10))},
      {"shorter than the info header", dir.put("header.bmp", cut(good, 30))},
      {"a directory", dir.path()},
      {"empty path", ""},
  };
  for (const auto& [what, path] : cases) {
    SCOPED_TRACE(what);
    ASSERT_EQ(open(good), 0);
    EXPECT_EQ(api.BitMapOpen(0, path.c_str()), 1);
    // The previous image is gone: nothing to write.
    EXPECT_EQ(api.BmpFileSend(dir.file("out.bmp").c_str()), 0);
  }
  EXPECT_EQ(api.BitMapOpen(0, nullptr), 1);
}

TEST_F(BitmapTest, A24BitFileIsHeldAndWrittenBackByteForByte) {
  // Odd width (padded rows) and header fields the library does not use.
  const Bytes bmp = withHeaders(noiseBmp24(37, 23, 2), [](auto& file, auto& info) {
    file.bfReserved1 = 7;
    info.biXPelsPerMeter = 2835;
    info.biClrImportant = 3;
  });

  ASSERT_EQ(open(bmp), 0);
  const std::string out = dir.file("copy.bmp");
  EXPECT_EQ(api.BmpFileSend(out.c_str()), static_cast<int32_t>(bmp.size()));
  EXPECT_EQ(readBytes(out), bmp);
  // An existing file is replaced, not appended to.
  EXPECT_EQ(api.BmpFileSend(out.c_str()), static_cast<int32_t>(bmp.size()));
  EXPECT_EQ(readBytes(out), bmp);
  EXPECT_EQ(api.BmpFileSend(dir.file("no/such/dir.bmp").c_str()), 0);
}

TEST_F(BitmapTest, PlanarFramesBecome24BitImagesOfTheDecodedPicture) {
  constexpr int kW = 320, kH = 240;
  for (const uint32_t fourcc : {FOURCC_I420, FOURCC_IYUV}) {
    SCOPED_TRACE(fourcc == FOURCC_I420 ? "I420" : "IYUV");
    // Bright top half, dark bottom half, a ramp across.
    const Bytes frame = makePlanarFrame(
        kW, kH, fourcc, [](int x, int y) { return static_cast<uint8_t>((y < kH / 2 ? 180 : 30) + x / 8); }, 100, 160);
    ASSERT_EQ(open(frame), 0);
    const Bytes image = held();
    ASSERT_EQ(image.size(), 230454u);
    // The headers of a 24-bit picture of the frame's size, then BT.601 as
    // libyuv decodes it, bottom row first.
    Bytes expected = bmpWithHeaders(kW, kH, 24, BI_RGB, kW * kH * 3);
    const uint8_t* y = frame.data() + 54;
    const uint8_t* u = y + kW * kH;
    const uint8_t* v = u + kW * kH / 4;
    libyuv::I420ToRGB24(y, kW, u, kW / 2, v, kW / 2, expected.data() + 54, kW * 3, kW, -kH);
    EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + 54, image.begin())) << "headers";
    EXPECT_TRUE(std::equal(expected.begin() + 54, expected.end(), image.begin() + 54)) << "pixels";
    EXPECT_GT(pixelAt(image, 10, kH - 1).g, pixelAt(image, 10, 0).g) << "top row bright";
  }
}

TEST_F(BitmapTest, OtherCompressionsAreRefusedWithTwo) {
  for (const uint32_t compression : {PL_FOURCC('Y', 'U', 'Y', '2'), PL_FOURCC('M', 'J', 'P', 'G'), BI_BITFIELDS, 1u}) {
    SCOPED_TRACE(compression);
    const Bytes bmp = withHeaders(noiseBmp24(32, 16, 3), [&](auto&, auto& info) { info.biCompression = compression; });
    ASSERT_EQ(open(noiseBmp24(8, 8, 4)), 0);
    EXPECT_EQ(open(bmp), 2);
    EXPECT_TRUE(held().empty());
    EXPECT_EQ(api.BmptoJpgConvert(50), 0);
  }
}

TEST_F(BitmapTest, WritersNeedAnOpenImageAndTheJpegOutlivesIt) {
  ASSERT_EQ(open(quartersBmp24(64, 48)), 0);
  const int32_t jpegLength = api.BmptoJpgConvert(50);
  ASSERT_GT(jpegLength, 0);
  const std::string jpg = dir.file("cap0.jpg");
  EXPECT_EQ(api.JpgFileSend(jpg.c_str()), jpegLength);
  EXPECT_EQ(readBytes(jpg).size(), static_cast<size_t>(jpegLength));

  EXPECT_EQ(api.BitMapClose(), 0);
  EXPECT_EQ(api.BmpFileSend(dir.file("a.bmp").c_str()), 0);
  EXPECT_EQ(api.BmptoJpgConvert(50), 0);
  EXPECT_EQ(api.JpgFileSend(dir.file("b.jpg").c_str()), 0);
  EXPECT_EQ(api.BmpScalConv(27, 5), 1);
  EXPECT_EQ(api.BmpColChange(0, 10, 10, 10), 1);

  // A new image brings the stored JPEG back into reach.
  ASSERT_EQ(open(noiseBmp24(16, 16, 5)), 0);
  EXPECT_EQ(api.JpgFileSend(jpg.c_str()), jpegLength);
  EXPECT_EQ(api.JpgFileSend(dir.file("no/such/dir.jpg").c_str()), 0);
}

TEST_F(BitmapTest, JpegShowsThePictureUprightAtTheRequestedQuality) {
  const Bytes bmp = quartersBmp24(640, 480);
  ASSERT_EQ(open(bmp), 0);
  const int32_t small = api.BmptoJpgConvert(20);
  const int32_t large = api.BmptoJpgConvert(90);
  ASSERT_GT(small, 0);
  EXPECT_GT(large, small);
  const std::string path = dir.file("cap1.jpg");
  ASSERT_EQ(api.JpgFileSend(path.c_str()), large);
  const Bytes jpeg = readBytes(path);
  const auto decoded = decodeJpeg(jpeg.data(), jpeg.size());
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->width, 640);
  EXPECT_EQ(decoded->height, 480);
  EXPECT_TRUE(near(decoded->at(160, 120), kRed, 8));
  EXPECT_TRUE(near(decoded->at(480, 120), kGreen, 8));
  EXPECT_TRUE(near(decoded->at(160, 360), kBlue, 8));
  EXPECT_TRUE(near(decoded->at(480, 360), kYellow, 8));
}

TEST_F(BitmapTest, HostileFilesAreRefusedWithoutHarm) {
  const Bytes good = noiseBmp24(640, 480, 6);
  const auto withSize = [&](uint32_t size) { return withHeaders(good, [=](auto& f, auto&) { f.bfSize = size; }); };
  const auto withDimensions = [](const Bytes& b, int w, int h) {
    return withHeaders(b, [=](auto&, auto& i) {
      i.biWidth = w;
      i.biHeight = h;
    });
  };
  const Bytes bigPlanar = makePlanarFrame(
      64, 48, FOURCC_I420, [](int, int) { return uint8_t{90}; }, 128, 128);
  const std::pair<const char*, Bytes> cases[] = {
      {"size field 4 GB", withSize(0xFFFFFFF0u)},
      {"size field one byte over a buffer", withSize(static_cast<uint32_t>(kBufferCapacity) + 1)},
      {"size field below the headers", withSize(20)},
      {"size field with no pixel data", withSize(54)},
      {"width and height beyond a buffer", withDimensions(withSize(54 + 1000), 60000, 60000)},
      {"negative extremes", withDimensions(withSize(54 + 1000), INT32_MIN, INT32_MIN)},
      {"planar frame beyond a buffer", withDimensions(bigPlanar, 4000, 4000)},
      {"truncated pixel data", cut(good, 500000)},
  };
  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    EXPECT_EQ(open(bytes), 1);
    EXPECT_TRUE(held().empty());
    EXPECT_EQ(api.BmpScalConv(27, 5), 1);
  }
  EXPECT_EQ(open(good), 0);
  EXPECT_EQ(held(), good);
}

TEST_F(BitmapTest, OnlyRegularFilesAreReadOrWrittenAndNeverBlock) {
  const Bytes good = noiseBmp24(64, 48, 7);
  const std::string fifo = dir.file("planted.bmp");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(open(good), 0);
  EXPECT_EQ(api.BmpFileSend(fifo.c_str()), 0) << "a FIFO with no reader";
  EXPECT_EQ(api.BmpFileSend("/dev/null"), 0);
  EXPECT_EQ(api.BitMapOpen(0, fifo.c_str()), 1) << "a FIFO with no writer";
  EXPECT_EQ(api.BitMapOpen(0, "/dev/zero"), 1);
}

TEST_F(BitmapTest, APictureThatIsNotWholeOnDiskIsNeverReportedWhole) {
  ASSERT_EQ(open(noiseBmp24(640, 480, 8)), 0);
  const int32_t whole = 54 + 640 * 480 * 3;

  // A file-size limit stops the write part way: the count says so, with the reason.
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 100000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  errno = 0;
  const int32_t limited = api.BmpFileSend(dir.file("limited.bmp").c_str());
  const int limitError = errno;
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(limited, 100000);
  EXPECT_EQ(limitError, EFBIG);

  // A longer old file that cannot be cut (sealed against shrinking) would
  // keep its tail behind the new picture: that is a failure, not success.
  const int sealed = ::memfd_create("old-picture", MFD_ALLOW_SEALING);
  ASSERT_GE(sealed, 0);
  ASSERT_EQ(::ftruncate(sealed, whole + 5000), 0);
  ASSERT_EQ(::fcntl(sealed, F_ADD_SEALS, F_SEAL_SHRINK), 0);
  EXPECT_EQ(api.BmpFileSend(("/proc/self/fd/" + std::to_string(sealed)).c_str()), 0);
  ::close(sealed);
}

TEST_F(BitmapTest, PicturesThatDisagreeWithTheirHeadersAreNeverTouched) {
  // 8 bits with a palette: held as stored, but no transform or encoder
  // takes it for 24-bit pixels.
  Bytes eightBit = withHeaders(cut(noiseBmp24(64, 32, 7), 54 + 1024 + 64 * 32), [](auto& f, auto& i) {
    f.bfSize = 54 + 1024 + 64 * 32;
    f.bfOffBits = 54 + 1024;
    i.biBitCount = 8;
    i.biClrUsed = 256;
  });
  std::fill(eightBit.begin() + 54, eightBit.end(), 0x42);
  // 24-bit 640 x 480 by its header, 1,000 pixel bytes by its size field.
  Bytes shortData = shortened(noiseBmp24(640, 480, 8));
  Bytes topDown = withHeaders(noiseBmp24(40, 30, 9), [](auto&, auto& i) { i.biHeight = -30; });
  for (const Bytes* bmp : {&eightBit, &shortData, &topDown}) {
    ASSERT_EQ(open(*bmp), 0);
    EXPECT_EQ(api.BmpScalConv(27, 5), 0);
    EXPECT_EQ(api.BmpColChange(0, 20, 3, 15), 0);
    EXPECT_EQ(held(), *bmp);
  }
  ASSERT_EQ(open(eightBit), 0);
  EXPECT_EQ(api.BmptoJpgConvert(50), 0);
  ASSERT_EQ(open(shortData), 0);
  EXPECT_EQ(api.BmptoJpgConvert(50), 0);

  // A planar frame whose data is shorter than its dimensions need: loaded,
  // nothing usable, and everything that needs an image refuses.
  const Bytes planar = shortened(makePlanarFrame(
      320, 240, FOURCC_I420, [](int, int) { return uint8_t{100}; }, 128, 128));
  // A frame that fits a buffer but whose 24-bit picture would not.
  const Bytes tooBigToConvert = makePlanarFrame(
      900, 900, FOURCC_IYUV, [](int, int) { return uint8_t{100}; }, 128, 128);
  for (const Bytes* frame : {&planar, &tooBigToConvert}) {
    EXPECT_EQ(open(*frame), 0);
    EXPECT_TRUE(held().empty());
    EXPECT_EQ(api.BmpScalConv(18, 10), 1);
    EXPECT_EQ(api.BmptoJpgConvert(50), 0);
  }
}

TEST_F(BitmapTest, TheWidestPictureABufferHoldsIsTransformedInBounds) {
  // One row of 442,914 pixels: 1,328,798 bytes with headers.
  const Bytes wide = noiseBmp24(442914, 1, 10);
  ASSERT_LE(wide.size(), kBufferCapacity);
  EXPECT_EQ(scaled(wide, 27, 5), referenceScalConv(wide, 27, 5));
  EXPECT_EQ(scaled(wide, 3, 1), referenceScalConv(wide, 3, 1));
  EXPECT_EQ(coloured(wide, 4, 12, 8, 20), referenceColChange(wide, 4, 12, 8, 20));
  EXPECT_EQ(api.BmptoJpgConvert(50), 0) << "wider than a JPEG can be";
}

}  // namespace
