// The control on emulated UVC webcams (YUY2 and MJPG converted on the way, a
// camera unplugged, plugged back or busy), and calls that arrive while a
// capture waits for its frame.
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "capture_internal.h"
#include "testkit/korvex_host.h"

namespace korvextest {
namespace {

constexpr int32_t k640I420 = KORVEX_SIZE_640x480 + 16 * KORVEX_COMP_I420;
constexpr int32_t k640Rgb = KORVEX_SIZE_640x480 + 16 * KORVEX_COMP_RGB;
constexpr int32_t k160Iyuv = KORVEX_SIZE_160x124 + 16 * KORVEX_COMP_IYUV;

class KorvexUvcTest : public KorvexTest {
 protected:
  void plugUvc(int count) {
    useCameras({});
    std::vector<CG_UVC_SPEC> specs(static_cast<size_t>(count), CG_UVC_SPEC{nullptr, 0});
    ASSERT_EQ(cg_SetUvcCameras(specs.data(), count), S_OK);
  }
  void TearDown() override {
    KorvexTest::TearDown();
    cg_SetUvcCameras(nullptr, 0);
  }
  // Asks until the unit captures; the attempts it took, 0 when it never did.
  int attemptsUntilCaptured(int32_t unit, int limit) {
    for (int i = 1; i <= limit; ++i) {
      if (captureOnce(unit, k640I420) == KORVEX_CAPTURED) return i;
      pumpFor(300);
    }
    return 0;
  }
};

TEST_F(KorvexUvcTest, CapturesFromYuy2InEveryFormatAnd160x120ForSizeCode3) {
  plugUvc(1);
  startRun(1);
  ASSERT_EQ(captureOnce(1, k640I420, 6), KORVEX_CAPTURED);
  auto [header, pixels] = storedFrame(0);
  EXPECT_EQ(pixels.size(), 460800u);
  EXPECT_EQ(frameCounter(header, pixels), 6);  // the 6th frame, read back after conversion
  ASSERT_EQ(captureOnce(1, k640Rgb), KORVEX_CAPTURED);
  const Frame rgb = storedFrame(0);
  EXPECT_EQ(frameCounter(rgb.header, rgb.pixels), 5);
  // No webcam offers 160 x 124.
  ASSERT_EQ(captureOnce(1, k160Iyuv), KORVEX_CAPTURED);
  call(DISPID_KORVEX_DspFmtTyp, int32_t{0}, h(texts_[5]));
  EXPECT_EQ(text(texts_[5]), "160 * 120");
}

TEST_F(KorvexUvcTest, UnpluggedCameraFailsItsUnitAloneAndCapturesAgainWhenBack) {
  plugUvc(2);
  startRun(1);
  ASSERT_EQ(captureOnce(1, k640I420), KORVEX_CAPTURED);
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_UNPLUGGED), S_OK);
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(captureOnce(1, k640I420), KORVEX_CAPTURE_FAILED);
  EXPECT_EQ(captureOnce(2, k640I420), KORVEX_CAPTURED);
  EXPECT_EQ(captureOnce(1, k640I420), KORVEX_CAPTURE_FAILED);
  // Each capture waits up to a second for the tick; two that waited out the
  // frame budget (5.3 s each) would take far longer.
  EXPECT_LT(clock.elapsed(), 8000) << "a gone camera fails at once, not after the frame budget";
  // Back in its port under other node numbers: no restart, no new device list.
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_PLUGGED), S_OK);
  EXPECT_GT(attemptsUntilCaptured(1, 4), 0);
  auto [header, pixels] = storedFrame(0);
  EXPECT_EQ(frameCounter(header, pixels), 5);
}

TEST_F(KorvexUvcTest, AnUnpluggedCameraIsListedAgainOnlyEveryFewSeconds) {
  plugUvc(2);
  startRun(1);
  ASSERT_EQ(captureOnce(1, k640I420), KORVEX_CAPTURED);
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_UNPLUGGED), S_OK);
  EXPECT_EQ(captureOnce(1, k640I420), KORVEX_CAPTURE_FAILED);
  const int before = pl::capture::detail::cameraListings();
  pumpFor(3000);  // six device checks, each of which used to list every node
  const int listed = pl::capture::detail::cameraListings() - before;
  EXPECT_GE(listed, 1);
  EXPECT_LE(listed, 2);
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_PLUGGED), S_OK);
  EXPECT_GT(attemptsUntilCaptured(1, 12), 0) << "found again in its port";
}

TEST_F(KorvexUvcTest, BusyCameraFailsQuicklyAndIsRetriedAtTheNextRequest) {
  plugUvc(1);
  startRun(1);
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_BUSY), S_OK);
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(captureOnce(1, k640I420), KORVEX_CAPTURE_FAILED);
  EXPECT_EQ(captureOnce(1, k640I420), KORVEX_CAPTURE_FAILED);  // the device check lets it through
  EXPECT_LT(clock.elapsed(), 7000) << "a busy camera fails at once, not after the frame budget";
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_PLUGGED), S_OK);
  EXPECT_EQ(captureOnce(1, k640I420), KORVEX_CAPTURED);
}

TEST_F(KorvexUvcTest, DeviceCheckCatchesACameraThatOpensWithoutFormats) {
  plugUvc(1);
  startRun(1);
  ASSERT_EQ(captureOnce(1, k640I420), KORVEX_CAPTURED);
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_NO_FORMATS), S_OK);
  // Two more checks began: the first of them has ended.
  const int binds = pl::capture::detail::deviceBinds();
  ASSERT_TRUE(waitUntil([&] { return pl::capture::detail::deviceBinds() >= binds + 2; }, 10000));
  EXPECT_EQ(captureOnce(1, k640I420), KORVEX_CAPTURE_FAILED);
  // Refused before touching the camera: the last frame is still there.
  call(DISPID_KORVEX_DspGetSize, int32_t{0}, h(texts_[5]));
  EXPECT_EQ(text(texts_[5]), "460800 Byte");
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_PLUGGED), S_OK);
  EXPECT_GT(attemptsUntilCaptured(1, 4), 0);
}

// Each call is made from a host timer while unit 1 waits for its frames (a
// 5 fps camera: about a second of waiting).
class KorvexReentryTest : public KorvexTest {
 protected:
  void SetUp() override {
    KorvexTest::SetUp();
    useCameras({{"slow", {}, 5}, {"fast", {}, 120}});
    startRun();
  }
  void duringNextCapture(std::function<void()> action) {
    pending_ = std::move(action);
    onEvent_ = [this](const Event& e) {
      if (e.id == DISPID_KORVEX_EVENT_CapDspNo && e.unit == 1 && pending_)
        QTimer::singleShot(200, host_.get(), std::exchange(pending_, nullptr));
    };
  }
  std::function<void()> pending_;
};

TEST_F(KorvexReentryTest, RequestsAndPreviewCallsDuringACaptureNeitherBlockNorBreakIt) {
  int32_t queued = -1, preview = -1, previewEnd = -1;
  duringNextCapture([&] {
    queued = call(DISPID_KORVEX_CaptureGo, int32_t{2}, k640I420, int32_t{5});
    preview = call(DISPID_KORVEX_PreUsbGo, int32_t{0}, int32_t{2});
    previewEnd = call(DISPID_KORVEX_PreUsbEnd);
  });
  ASSERT_EQ(call(DISPID_KORVEX_CaptureGo, int32_t{1}, k640I420, int32_t{5}), 0);
  ASSERT_TRUE(waitCaptures(2, 8000));
  EXPECT_EQ(queued, 0);
  EXPECT_EQ(preview, 1);  // refused: the camera tables are in use
  EXPECT_EQ(previewEnd, 0);
  const auto done = captures();
  EXPECT_EQ(done[0].unit, 1);
  EXPECT_EQ(done[0].code, KORVEX_CAPTURED);
  EXPECT_EQ(done[1].unit, 2);
  EXPECT_EQ(done[1].code, KORVEX_CAPTURED);
}

TEST_F(KorvexReentryTest, EndCaptureAndCloseDuringACaptureTakeEffectWhenItReturns) {
  int32_t ended = -1;
  duringNextCapture([&] { ended = call(DISPID_KORVEX_EndCapture); });
  ASSERT_EQ(call(DISPID_KORVEX_CaptureGo, int32_t{1}, k640I420, int32_t{5}), 0);
  ASSERT_TRUE(waitCaptures(1, 8000));
  EXPECT_EQ(ended, 0);
  EXPECT_EQ(captures()[0].code, KORVEX_CAPTURED);  // its buffers were still there
  EXPECT_NE(call(DISPID_KORVEX_InitCapture, int32_t{6}), 1) << "EndCapture ran once the capture returned";

  // A new run, then the host closes and releases the control mid-capture.
  call(DISPID_KORVEX_CaptureEnd);
  call(DISPID_KORVEX_GetUsbDevice, h(combo_));
  ASSERT_EQ(call(DISPID_KORVEX_CaptureStart, int32_t{0}), 0);
  bool released = false;
  duringNextCapture([&] {
    control_.release();
    released = true;
  });
  events_.clear();
  ASSERT_EQ(call(DISPID_KORVEX_CaptureGo, int32_t{1}, k640I420, int32_t{5}), 0);
  ASSERT_TRUE(waitUntil([&] { return released; }, 4000));
  pumpFor(1500);
  EXPECT_TRUE(captures().empty());  // a closed control tells its host nothing
}

}  // namespace
}  // namespace korvextest
