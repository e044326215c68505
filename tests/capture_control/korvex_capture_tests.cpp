// One-shot captures on virtual cameras: start frames, format matching,
// faults, safe mode and the live preview.
#include <QElapsedTimer>

#include "capture_internal.h"
#include "testkit/korvex_host.h"

namespace korvextest {
namespace {

constexpr int32_t k640I420 = KORVEX_SIZE_640x480 + 16 * KORVEX_COMP_I420;
constexpr int32_t k640Rgb = KORVEX_SIZE_640x480 + 16 * KORVEX_COMP_RGB;
constexpr int32_t k160I420 = KORVEX_SIZE_160x124 + 16 * KORVEX_COMP_I420;

TEST_F(KorvexTest, KeepsTheNthBufferForNStartFramesWithTheLowByteClamped) {
  useCameras({{"fast", {}, 200}});
  startRun();
  // 300 keeps its low 8 bits (44); 2 is raised to 5; 200 is lowered to 100.
  for (auto [mtcmp, kept] : {std::pair{300, 44}, std::pair{2, 5}, std::pair{200, 100}, std::pair{5, 5}}) {
    ASSERT_EQ(captureOnce(1, k640I420, mtcmp), KORVEX_CAPTURED) << mtcmp;
    const Frame f = storedFrame(0);
    ASSERT_EQ(f.pixels.size(), 460800u);
    EXPECT_EQ(frameCounter(f.header, f.pixels), kept) << "mtcmp " << mtcmp;
  }
  // RGB frames arrive bottom row first; the counter is found at the top.
  ASSERT_EQ(captureOnce(1, k640Rgb, 7), KORVEX_CAPTURED);
  const Frame rgb = storedFrame(0);
  ASSERT_EQ(rgb.pixels.size(), 921600u);
  EXPECT_EQ(frameCounter(rgb.header, rgb.pixels), 7);
}

TEST_F(KorvexTest, MatchesSizeAndCompressionWith160x120ForSizeCode3WhereNeeded) {
  const std::vector<CG_VCAM_CAP> only120 = {{160, 120, FOURCC_I420, 12}, {160, 120, BI_RGB, 24}};
  const std::vector<CG_VCAM_CAP> rgbFirst32 = {{640, 480, BI_RGB, 32}, {640, 480, BI_RGB, 24}};
  useCameras({{"default"}, {"only 160x120", only120}, {"rgb32 first", rgbFirst32}});
  startRun();
  EXPECT_EQ(captureOnce(1, 0), KORVEX_NO_FORMAT);                    // no size code
  EXPECT_EQ(captureOnce(1, KORVEX_SIZE_640x480), KORVEX_NO_FORMAT);  // no compression code
  // Size code 3: 160 x 124 where the camera has it, else 160 x 120.
  EXPECT_EQ(captureOnce(2, k160I420), KORVEX_CAPTURED);
  EXPECT_EQ(storedFrame(1).header.biHeight, 120);
  EXPECT_EQ(captureOnce(1, k160I420), KORVEX_CAPTURED);
  EXPECT_EQ(storedFrame(0).header.biHeight, 124);
  EXPECT_EQ(captureOnce(3, k640Rgb), KORVEX_CAPTURED);  // RGB of any bit count, first one wins
  const Frame f = storedFrame(2);
  EXPECT_EQ(f.header.biBitCount, 32);
  EXPECT_EQ(f.pixels.size(), 640u * 480u * 4u);
  EXPECT_EQ(call(DISPID_KORVEX_GetPreBmpWidth), 640);
  EXPECT_EQ(call(DISPID_KORVEX_GetPreBmpHight), 480);
  EXPECT_EQ(call(DISPID_KORVEX_GetPreBmpComp), 0);
}

TEST_F(KorvexTest, FaultyCamerasEndWithTheirCodes) {
  useCameras({{"cannot open", {}, 30, CG_VCAM_CANNOT_OPEN},
              {"no config", {}, 30, CG_VCAM_NO_STREAM_CONFIG},
              {"no frames", {}, 30, CG_VCAM_NO_FRAMES}});
  startRun();
  EXPECT_EQ(captureOnce(1, k640I420), KORVEX_CAPTURE_FAILED);
  EXPECT_EQ(captureOnce(2, k640I420), KORVEX_NO_FORMAT);
  EXPECT_EQ(captureOnce(3, k640I420, 5, 12000), KORVEX_CAPTURE_FAILED);  // after the 5,300 ms budget
  EXPECT_EQ(captureOnce(4, k640I420), KORVEX_CAPTURE_FAILED);            // no device 4
  call(DISPID_KORVEX_DspGetSize, int32_t{2}, h(texts_[2]));
  EXPECT_EQ(text(texts_[2]), "000000 Byte");
}

TEST_F(KorvexTest, ASlowCameraFailsButItsLastFrameIsStored) {
  useCameras({{"slow", {}, 1}});
  startRun();
  QElapsedTimer clock;
  clock.start();
  // 10 start frames at one frame a second cannot pass in 10 x 60 + 5,000 ms.
  EXPECT_EQ(captureOnce(1, k640I420, 10, 15000), KORVEX_CAPTURE_FAILED);
  EXPECT_GE(clock.elapsed(), 5600);
  const Frame f = storedFrame(0);
  ASSERT_EQ(f.pixels.size(), 460800u);
  const int64_t kept = frameCounter(f.header, f.pixels);
  EXPECT_GE(kept, 3);
  EXPECT_LE(kept, 8);
}

TEST_F(KorvexTest, SafeModeMarksAFailingDeviceAndRefusesItAtOnce) {
  useCameras({{"steady"}, {"unplugged", {}, 30, CG_VCAM_VANISHES}});
  startRun(1);
  const int binds = pl::capture::detail::deviceBinds();
  // The worker checks one device every 500 ms: a third check means the
  // second (unit 2's camera) has ended.
  ASSERT_TRUE(waitUntil([&] { return pl::capture::detail::deviceBinds() >= binds + 3; }, 10000));
  QElapsedTimer clock;
  qint64 announcedAt = 0;
  onEvent_ = [&](const Event& e) {
    if (e.id == DISPID_KORVEX_EVENT_CapDspNo) announcedAt = clock.elapsed();
  };
  clock.start();
  EXPECT_EQ(captureOnce(2, k640I420), KORVEX_CAPTURE_FAILED);
  EXPECT_LT(clock.elapsed() - announcedAt, 300);
  EXPECT_EQ(captureOnce(1, k640I420), KORVEX_CAPTURED);
}

TEST_F(KorvexTest, PreviewHoldsItsFormatUntilItEnds) {
  listDevices();
  call(DISPID_KORVEX_SetSafeMode, int32_t{1});
  EXPECT_EQ(call(DISPID_KORVEX_PreUsbGo, int32_t{0}, int32_t{0}), 1);  // still needs PreUsbEnd
  EXPECT_EQ(call(DISPID_KORVEX_PreUsbEnd), 0);
  EXPECT_EQ(call(DISPID_KORVEX_PreUsbEnd), 1);

  call(DISPID_KORVEX_PreViewFmtSet, int32_t{KORVEX_SIZE_320x240}, int32_t{KORVEX_COMP_I420});
  host_->show();
  texts_[0]->setGeometry(0, 0, 160, 120);
  ASSERT_EQ(call(DISPID_KORVEX_PreUsbGo, h(texts_[0]), int32_t{1}), 0);
  EXPECT_EQ(call(DISPID_KORVEX_PreUsbGo, h(texts_[0]), int32_t{1}), 1);
  EXPECT_EQ(call(DISPID_KORVEX_GetPreBmpWidth), 320);
  EXPECT_EQ(call(DISPID_KORVEX_GetPreBmpHight), 240);
  EXPECT_EQ(call(DISPID_KORVEX_GetPreBmpComp), static_cast<int32_t>(FOURCC_I420));
  call(DISPID_KORVEX_PreViewFmtSet, int32_t{KORVEX_SIZE_640x480}, int32_t{KORVEX_COMP_RGB});  // held: ignored
  EXPECT_EQ(call(DISPID_KORVEX_GetPreBmpWidth), 320);
  EXPECT_EQ(call(DISPID_KORVEX_PreUsbEnd), 0);
  EXPECT_EQ(call(DISPID_KORVEX_GetPreBmpWidth), 0);
  EXPECT_EQ(call(DISPID_KORVEX_PreUsbGo, h(texts_[0]), int32_t{9}), 1);  // no such device
  call(DISPID_KORVEX_PreUsbEnd);
}

TEST_F(KorvexTest, RoundRobinOfThreeUnitsWithLiveViewAndSafeModeKeepsCapturing) {
  useCameras({{"a", {}, 30}, {"b", {}, 30}, {"c", {}, 30}});
  listDevices();
  call(DISPID_KORVEX_SetSafeMode, int32_t{1});
  host_->show();
  setDisplayWindows();
  ASSERT_EQ(call(DISPID_KORVEX_CaptureStart, h(texts_[5])), 0);
  for (int round = 0; round < 4; ++round) {
    for (int32_t u = 1; u <= 3; ++u)
      EXPECT_EQ(captureOnce(u, 33, 5, 8000), KORVEX_CAPTURED) << "round " << round << " unit " << u;
  }
}

}  // namespace
}  // namespace korvextest
