// Many graphs in a row, as the capture control builds one per capture for
// hours: every cycle delivers, and memory does not grow.
#include "capture_test_support.h"
#include "testkit/process.h"

#if defined(__SANITIZE_ADDRESS__)
#define SV_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SV_UNDER_ASAN 1
#endif
#endif

namespace {

// One capture as the control makes it: build, run until the first frame, stop, release.
void captureOnce(int cycle) {
  CaptureGraph g(0);
  ASSERT_TRUE(selectAndRender(g, 160, 120, FOURCC_I420)) << cycle;
  ASSERT_EQ(g.run(), S_OK) << cycle;
  ASSERT_TRUE(g.log.waitFor(1, 3000)) << cycle;
  ASSERT_EQ(g.log.entries()[0].counter, 1u) << cycle;
}

TEST_F(CaptureTest, TwoHundredCapturesDoNotGrowMemory) {
  useCameras({{nullptr, nullptr, 0, 120, 0}});
  for (int i = 0; i < 20; ++i) captureOnce(i);  // caches and pools settle
  [[maybe_unused]] const double before = testkit::residentKiB();
  for (int i = 0; i < 200; ++i) {
    captureOnce(i);
    if (HasFatalFailure()) return;
  }
  [[maybe_unused]] const double after = testkit::residentKiB();
#ifndef SV_UNDER_ASAN  // the sanitizer keeps freed memory in quarantine
  // A leaked pipeline or frame would cost far more than this over 200 cycles.
  EXPECT_LT(after, before + 3 * 1024) << "before " << before << " KiB, after " << after << " KiB";
#endif
}

}  // namespace
