// Frames through the sample grabber: sizes and layouts as a DIB holds them,
// the frame counter, media control states, callback removal, faulty cameras
// and the rules of building a graph.
#include <chrono>
#include <thread>

#include "capture_test_support.h"

namespace {

using namespace std::chrono_literals;

struct GrabCase {
  LONG width, height;
  DWORD compression;
  WORD bits;
  LONG length;
  bool ownCamera = false;  // a format beyond the default list
};

class GrabTest : public CaptureTest, public testing::WithParamInterface<GrabCase> {};

TEST_P(GrabTest, EveryFrameArrivesAsADibWithItsNumber) {
  const GrabCase c = GetParam();
  const CG_VCAM_CAP own{c.width, c.height, c.compression, c.bits};
  if (c.ownCamera)
    useCameras({{"Own format", &own, 1, 60, 0}});
  else
    useCameras({{nullptr, nullptr, 0, 60, 0}});
  CaptureGraph g(0);
  ASSERT_TRUE(selectAndRender(g, c.width, c.height, c.compression, c.bits));
  EXPECT_EQ(g.format.biSizeImage, static_cast<DWORD>(c.length));
  EXPECT_EQ(g.state(), CG_STOPPED);
  ASSERT_EQ(g.run(), S_OK);
  EXPECT_EQ(g.state(), CG_RUNNING);
  ASSERT_TRUE(g.log.waitFor(6, 5000));
  ASSERT_EQ(cg_GraphStop(g.graph), S_OK);

  const auto entries = g.log.entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(entries[i].length, c.length);
    // Counted from 1 when the graph ran, one per buffer: no frame lost or repeated.
    EXPECT_EQ(entries[i].counter, i + 1);
    if (i > 0) { EXPECT_GT(entries[i].time, entries[i - 1].time); }
  }
  const std::vector<BYTE> last = g.log.lastFrame();
  if (c.compression == BI_RGB) {
    // Bottom row first: the strip at the top of the picture is at the end of
    // the buffer, while the first rows hold the bottom of the test pattern.
    const size_t stride = (static_cast<size_t>(c.width) * c.bits + 31) / 32 * 4;
    const size_t topRow = static_cast<size_t>(c.height - 1) * stride;
    EXPECT_LT(last[topRow + 1], 40) << "top-left block (bit 31) is black";
    EXPECT_NE(testkit::frameCounter(last.data(), g.format), 0u);
  } else if (c.bits == 16) {
    EXPECT_LT(last[0], 40);  // YUY2: Y0 of the top-left pixel
    EXPECT_EQ(last[1], 128);
  } else {
    // Planar: Y plane top row first, then quarter-size U and V, neutral under the strip.
    EXPECT_LT(last[0], 40);
    const size_t ySize = static_cast<size_t>(c.width) * c.height;
    const size_t cSize = static_cast<size_t>((c.width + 1) / 2) * ((c.height + 1) / 2);
    EXPECT_EQ(last[ySize], 128);
    EXPECT_EQ(last[ySize + cSize], 128);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, GrabTest,
    testing::Values(GrabCase{640, 480, FOURCC_I420, 12, 460800}, GrabCase{640, 480, FOURCC_IYUV, 12, 460800},
                    GrabCase{640, 480, BI_RGB, 24, 921600}, GrabCase{160, 124, FOURCC_I420, 12, 29760},
                    GrabCase{160, 124, BI_RGB, 24, 59520}, GrabCase{320, 240, BI_RGB, 32, 307200, true},
                    GrabCase{320, 240, PL_FOURCC('Y', 'U', 'Y', '2'), 16, 153600, true},
                    // GStreamer pads these rows to 4 bytes: the frame is packed tight.
                    GrabCase{250, 40, FOURCC_I420, 12, 15000, true}));

TEST_F(CaptureTest, EachRunCountsFramesFromOneAndStopEndsDelivery) {
  useCameras({{nullptr, nullptr, 0, 60, 0}});
  CaptureGraph g(0);
  ASSERT_TRUE(selectAndRender(g, 160, 120, FOURCC_I420));
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    const size_t before = g.log.entries().size();
    ASSERT_EQ(g.run(), S_OK);
    ASSERT_TRUE(g.log.waitFor(before + 3, 3000));
    ASSERT_EQ(cg_GraphStop(g.graph), S_OK);
    EXPECT_EQ(g.state(), CG_STOPPED);
    const auto entries = g.log.entries();
    EXPECT_EQ(entries[before].counter, 1u);
    // Nothing arrives once Stop has returned.
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(g.log.entries().size(), entries.size());
  }
}

TEST_F(CaptureTest, RemovingTheCallbackWaitsForAFrameInProgressAndEndsCalls) {
  useCameras({{nullptr, nullptr, 0, 60, 0}});
  CaptureGraph g(0);
  ASSERT_TRUE(selectAndRender(g, 160, 120, FOURCC_I420));
  g.log.setDelay(30);  // a slow consumer: removal usually meets a call under way
  EXPECT_EQ(g.log.refs(), 1);
  ASSERT_EQ(g.run(), S_OK);
  ASSERT_TRUE(g.log.waitFor(2, 3000));
  ASSERT_EQ(cg_GrabberSetCallback(g.grabber, nullptr, 1), S_OK);
  EXPECT_FALSE(g.log.inCallback());
  EXPECT_EQ(g.log.refs(), 0);  // the grabber let go of it
  const size_t calls = g.log.entries().size();
  std::this_thread::sleep_for(150ms);
  EXPECT_EQ(g.log.entries().size(), calls);
  EXPECT_EQ(g.state(), CG_RUNNING);
}

TEST_F(CaptureTest, OneShotGrabberPassesOneFramePerRun) {
  useCameras({{nullptr, nullptr, 0, 60, 0}});
  CaptureGraph g(0);
  ASSERT_TRUE(selectAndRender(g, 160, 120, FOURCC_I420));
  ASSERT_EQ(cg_GrabberSetOneShot(g.grabber, TRUE), S_OK);
  ASSERT_EQ(g.run(), S_OK);
  ASSERT_TRUE(g.log.waitFor(1, 3000));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(g.log.entries().size(), 1u);
  cg_GraphStop(g.graph);
  ASSERT_EQ(g.run(), S_OK);
  EXPECT_TRUE(g.log.waitFor(2, 3000));
}

TEST_F(CaptureTest, CameraWithoutFramesRunsButNeverCallsBack) {
  useCameras({{"Silent", nullptr, 0, 60, CG_VCAM_NO_FRAMES}});
  CaptureGraph g(0);
  ASSERT_TRUE(selectAndRender(g, 640, 480, FOURCC_I420));
  ASSERT_EQ(g.run(), S_OK);
  HRESULT hr = E_FAIL;
  EXPECT_EQ(g.state(&hr), CG_RUNNING);
  EXPECT_EQ(hr, S_OK);
  EXPECT_FALSE(g.log.waitFor(1, 1000));
  EXPECT_EQ(cg_GraphStop(g.graph), S_OK);
}

TEST_F(CaptureTest, SlowCameraDeliversAtItsOwnRate) {
  useCameras({{"Slow", nullptr, 0, 4, 0}});
  CaptureGraph g(0);
  ASSERT_TRUE(selectAndRender(g, 320, 240, BI_RGB));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(g.run(), S_OK);
  ASSERT_TRUE(g.log.waitFor(3, 3000));
  // Three frames at 4 per second take at least half a second.
  EXPECT_GE(std::chrono::steady_clock::now() - start, 450ms);
  const auto entries = g.log.entries();
  EXPECT_EQ(entries[2].counter, 3u);
  EXPECT_NEAR(entries[2].time - entries[1].time, 0.25, 0.05);
}

TEST_F(CaptureTest, GraphsAreBuiltOnlyFromTheirOwnFilters) {
  useCameras({{nullptr, nullptr, 0, 0, 0}, {nullptr, nullptr, 0, 0, 0}});
  CaptureGraph g(0), other(1);
  ASSERT_NE(other.source, nullptr);
  // Nothing rendered yet: no video window, nothing to run, stopped.
  EXPECT_EQ(cg_VideoWindowSetVisible(g.graph, TRUE), VFW_E_NO_VIDEO_WINDOW);
  EXPECT_EQ(cg_GraphRun(g.graph), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(g.state(), CG_STOPPED);
  // A source of another graph, a grabber outside the graph, a source as grabber.
  EXPECT_EQ(cg_BuilderRenderStream(g.builder, other.source, nullptr), E_INVALIDARG);
  CG_FILTER* loose = nullptr;
  ASSERT_EQ(cg_CreateSampleGrabber(&loose), S_OK);
  EXPECT_EQ(cg_BuilderRenderStream(g.builder, g.source, loose), E_INVALIDARG);
  EXPECT_EQ(cg_GraphAddFilter(other.graph, g.source, "again"), E_INVALIDARG);
  EXPECT_EQ(cg_GrabberSetOneShot(g.source, TRUE), E_NOINTERFACE);
  // A builder without a graph, a graph given twice.
  CG_BUILDER* lone = nullptr;
  ASSERT_EQ(cg_CreateCaptureGraphBuilder(&lone), S_OK);
  EXPECT_EQ(cg_BuilderRenderStream(lone, g.source, nullptr), E_UNEXPECTED);
  EXPECT_EQ(cg_BuilderSetFiltergraph(g.builder, other.graph), E_UNEXPECTED);
  cg_BuilderRelease(lone);
  // Rendered once only.
  ASSERT_EQ(cg_GraphAddFilter(g.graph, loose, "SampleGrab"), S_OK);
  EXPECT_EQ(cg_BuilderRenderStream(g.builder, g.source, loose), S_OK);
  EXPECT_EQ(cg_BuilderRenderStream(g.builder, g.source, nullptr), VFW_E_CANNOT_CONNECT);
  EXPECT_EQ(cg_VideoWindowSetStyle(g.graph, WS_CHILD | WS_CLIPSIBLINGS), S_OK);
  // Removing the grabber ends the rendered stream.
  cg_FilterRelease(loose);  // the graph still holds it
  EXPECT_EQ(cg_GraphRemoveFilter(g.graph, loose), S_OK);
  EXPECT_EQ(cg_GraphRemoveFilter(g.graph, loose), E_HANDLE);  // released now
  EXPECT_EQ(cg_VideoWindowSetVisible(g.graph, TRUE), VFW_E_NO_VIDEO_WINDOW);
}

}  // namespace
