// Emulated UVC webcams through the real-camera path: listing by port without
// metadata nodes, YUY2 and MJPG streamed and converted into every output
// format, and the failures of real cameras (unplug, replug, busy, no
// permission, no formats).
#include <QString>
#include <QtGlobal>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "capture_internal.h"
#include "capture_test_support.h"
#include "testkit/wait.h"

namespace {

using namespace std::chrono_literals;

constexpr DWORD kYuy2 = PL_FOURCC('Y', 'U', 'Y', '2');
constexpr DWORD kMjpg = PL_FOURCC('M', 'J', 'P', 'G');

class UvcTest : public CaptureTest {
 protected:
  void TearDown() override {
    cg_SetUvcCameras(nullptr, 0);
    CaptureTest::TearDown();
  }
  static void plug(std::vector<CG_UVC_SPEC> specs) {
    ASSERT_EQ(cg_SetUvcCameras(specs.data(), static_cast<int>(specs.size())), S_OK);
  }
  // Waits until the running graph reports a failure.
  static bool failsWithin(CaptureGraph& g, std::chrono::milliseconds limit) {
    return waitFor(
        [&] {
          HRESULT hr = S_OK;
          g.state(&hr, 0);
          return hr == E_FAIL;
        },
        static_cast<int>(limit.count()), 5);
  }
};

TEST_F(UvcTest, ListedByPortLikeRealCamerasWithoutTheirMetadataNodes) {
  plug({{"Cam in port 3", 3}, {"Cam in port 1", 1}});
  useCameras({{"Virtual", nullptr, 0, 30, 0}});
  // Four nodes exist; the metadata ones never become devices. Real cameras come first.
  EXPECT_EQ(deviceNames(), (std::vector<std::string>{"Cam in port 1", "Cam in port 3", "Virtual"}));
  char nodes[64] = "x";
  EXPECT_EQ(cg_ForbiddenVideoNodes(nodes, sizeof nodes), 0);
}

// Qt messages logged while a listing runs.
std::vector<std::string> loggedWhile(const std::function<void()>& run) {
  static std::vector<std::string>* lines = nullptr;
  std::vector<std::string> caught;
  lines = &caught;
  const QtMessageHandler previous = qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext&, const QString& m) { lines->push_back(m.toStdString()); });
  run();
  qInstallMessageHandler(previous);
  lines = nullptr;
  return caught;
}

TEST_F(UvcTest, EachCameraIsLoggedOnceWithNodePortAndFormats) {
  plug({{"Logged cam B", 12}, {"Logged cam A", 11}});
  const std::vector<std::string> lines = loggedWhile([] {
    deviceNames();
    deviceNames();  // listed again: nothing new to say
  });
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("camera \"Logged cam A\" /dev/video", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("camera \"Logged cam B\" /dev/video", 0), 0u) << lines[1];
  for (const std::string& line : lines) {
    EXPECT_NE(line.find(", USB port pci-0000:00:14.0-usb-0:1"), std::string::npos) << line;
    EXPECT_NE(line.find(", formats: YUY2 640x480 160x120 "), std::string::npos) << line;
    EXPECT_NE(line.find(" 1280x720; MJPG 640x480 "), std::string::npos) << line;
  }
  // A listing shows the same line for each device.
  CG_DEVICE* d = testkit::deviceAt(0);
  ASSERT_NE(d, nullptr);
  char text[1024];
  const int length = cg_DeviceDescription(d, text, sizeof text);
  EXPECT_EQ(lines[0], "camera " + std::string(text));
  EXPECT_EQ(length, static_cast<int>(std::strlen(text)));
  char cut[8];
  EXPECT_EQ(cg_DeviceDescription(d, cut, sizeof cut), length);  // the whole length, even when cut
  EXPECT_STREQ(cut, "\"Logged");
  cg_DeviceRelease(d);
}

struct StreamCase {
  LONG width, height;
  DWORD compression;
  WORD bits;
  LONG length;  // 0: compressed
};

class UvcStreamTest : public UvcTest, public testing::WithParamInterface<StreamCase> {};

// 640x480 comes from YUY2; 800x600 from MJPG, which the camera sends faster there.
TEST_P(UvcStreamTest, FramesArriveDecodedWithTheirNumbers) {
  const StreamCase c = GetParam();
  plug({{nullptr, 1}});
  CaptureGraph g(0);
  ASSERT_TRUE(selectAndRender(g, c.width, c.height, c.compression, c.bits));
  ASSERT_EQ(g.run(), S_OK);
  ASSERT_TRUE(g.log.waitFor(4, 5000));
  ASSERT_EQ(cg_GraphStop(g.graph), S_OK);
  const auto entries = g.log.entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(i);
    if (c.length > 0) {
      EXPECT_EQ(entries[i].length, c.length);
      EXPECT_EQ(entries[i].counter, i + 1);  // read back after decoding and conversion
    }
  }
  if (c.compression == kMjpg) {
    const std::vector<BYTE> jpeg = g.log.lastFrame();
    ASSERT_GT(jpeg.size(), 4u);
    // Starts with SOI and ends with EOI.
    EXPECT_EQ((std::vector<BYTE>{jpeg[0], jpeg[1], jpeg[jpeg.size() - 2], jpeg.back()}),
              (std::vector<BYTE>{0xFF, 0xD8, 0xFF, 0xD9}));
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, UvcStreamTest,
                         testing::Values(StreamCase{640, 480, kYuy2, 16, 614400},
                                         StreamCase{640, 480, FOURCC_I420, 12, 460800},
                                         StreamCase{640, 480, BI_RGB, 24, 921600}, StreamCase{800, 600, kMjpg, 24, 0},
                                         StreamCase{800, 600, FOURCC_IYUV, 12, 720000},
                                         StreamCase{800, 600, BI_RGB, 24, 1440000}));

TEST_F(UvcTest, UnpluggedWhileStreamingFailsAndIsFoundAgainInItsPort) {
  plug({{"Cam A", 1}, {"Cam B", 2}});
  CaptureGraph a(0), b(1);
  ASSERT_TRUE(selectAndRender(a, 320, 240, FOURCC_I420));
  ASSERT_TRUE(selectAndRender(b, 320, 240, FOURCC_I420));
  ASSERT_EQ(a.run(), S_OK);
  ASSERT_EQ(b.run(), S_OK);
  ASSERT_TRUE(a.log.waitFor(2, 5000));
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_UNPLUGGED), S_OK);
  EXPECT_TRUE(failsWithin(a, 2s));
  EXPECT_EQ(pl::capture::detail::lastCameraError("/dev/video0"),
            "Could not read from resource. (poll error 1: No such device (19))");
  const size_t bBefore = b.log.entries().size();
  ASSERT_TRUE(b.log.waitFor(bBefore + 3, 5000)) << "the other camera goes on";
  EXPECT_EQ(b.state(), CG_RUNNING);

  // Gone: the old reference cannot be bound, and the camera is not listed.
  CG_FILTER* source = nullptr;
  EXPECT_EQ(cg_DeviceBindSource(a.device, &source), VFW_E_NO_CAPTURE_HARDWARE);
  EXPECT_EQ(deviceNames(), std::vector<std::string>{"Cam B"});

  // Back in port 1 under new node numbers: once listed again, the old
  // reference binds the camera there; binding itself never lists.
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_PLUGGED), S_OK);
  const int listings = pl::capture::detail::cameraListings();
  EXPECT_EQ(cg_DeviceBindSource(a.device, &source), VFW_E_NO_CAPTURE_HARDWARE);
  EXPECT_EQ(pl::capture::detail::cameraListings(), listings);
  EXPECT_EQ(cg_RelistGoneCameras(), 1);
  CaptureGraph again(a.device);
  ASSERT_EQ(again.bound, S_OK);
  ASSERT_TRUE(selectAndRender(again, 320, 240, FOURCC_I420));
  ASSERT_EQ(again.run(), S_OK);
  ASSERT_TRUE(again.log.waitFor(3, 5000));
  EXPECT_EQ(again.log.entries()[2].counter, 3u);
}

TEST_F(UvcTest, BusyForbiddenAndFormatlessCamerasFailWhereV4l2Fails) {
  plug({{"Busy", 1}, {"Formatless", 2}, {"Forbidden", 3}});
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_BUSY), S_OK);
  ASSERT_EQ(cg_SetUvcCameraState(1, CG_UVC_NO_FORMATS), S_OK);
  ASSERT_EQ(cg_SetUvcCameraState(2, CG_UVC_NO_PERMISSION), S_OK);
  // The forbidden camera is not listed, but its nodes are named.
  EXPECT_EQ(deviceNames(), (std::vector<std::string>{"Busy"}));
  char nodes[64];
  EXPECT_EQ(cg_ForbiddenVideoNodes(nodes, sizeof nodes), 2);
  EXPECT_STREQ(nodes, "/dev/video4\n/dev/video5");

  // Busy: opens and binds; setting the format at run time fails with v4l2src's words.
  CaptureGraph busy(0);
  ASSERT_TRUE(selectAndRender(busy, 640, 480, FOURCC_I420));
  busy.run();
  EXPECT_TRUE(failsWithin(busy, 2s));
  EXPECT_EQ(pl::capture::detail::lastCameraError("/dev/video0").rfind("Device '/dev/video0' is busy", 0), 0u);
  EXPECT_TRUE(busy.log.entries().empty());
  // Free again: the next run of the same graph streams.
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_PLUGGED), S_OK);
  cg_GraphStop(busy.graph);
  ASSERT_EQ(busy.run(), S_OK);
  EXPECT_TRUE(busy.log.waitFor(2, 5000));

  // No formats: listed by an earlier enumeration, it binds but cannot be rendered.
  ASSERT_EQ(cg_SetUvcCameraState(1, CG_UVC_PLUGGED), S_OK);
  CaptureGraph formatless(1);
  ASSERT_NE(formatless.source, nullptr);
  ASSERT_EQ(cg_SetUvcCameraState(1, CG_UVC_NO_FORMATS), S_OK);
  CaptureGraph rebound(formatless.device);
  ASSERT_EQ(rebound.bound, S_OK);
  EXPECT_EQ(rebound.render(false), VFW_E_CANNOT_CONNECT);
}

// Several webcams on one bus: the stream of the one that finds no bandwidth
// left fails at once, logged once in Japanese with what to do.
TEST_F(UvcTest, CameraWithoutUsbBandwidthFailsAtStreamStartWithAdvice) {
  plug({{"Cam A", 1}});
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_NO_BANDWIDTH), S_OK);
  CaptureGraph a(0);
  ASSERT_TRUE(selectAndRender(a, 1280, 720, FOURCC_I420));
  std::vector<std::string> logged = loggedWhile([&] {
    a.run();
    EXPECT_TRUE(failsWithin(a, 2s));
    cg_GraphStop(a.graph);
    a.run();
    EXPECT_TRUE(failsWithin(a, 2s));
  });
  std::erase_if(logged, [](const std::string& line) { return line.rfind("camera /dev/video0", 0) != 0; });
  EXPECT_NE(pl::capture::detail::lastCameraError("/dev/video0").find("No space left on device"), std::string::npos);
  ASSERT_EQ(logged.size(), 1u) << testing::PrintToString(logged);
  EXPECT_NE(logged[0].find("USB の帯域が足りません"), std::string::npos) << logged[0];
  EXPECT_TRUE(a.log.entries().empty());
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_PLUGGED), S_OK);
  cg_GraphStop(a.graph);
  ASSERT_EQ(a.run(), S_OK);
  EXPECT_TRUE(a.log.waitFor(2, 5000)) << "streams once the bus has room again";
}

// Listing opens every node, so a gone camera is looked for at most once a
// pause, unless a video node came or went: a camera plugged back in is found
// at the next look.
TEST_F(UvcTest, GoneCameraIsListedAgainOnceAPauseOrAtOnceWhenANodeAppears) {
  plug({{"Cam A", 1}});
  CaptureGraph a(0);
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_UNPLUGGED), S_OK);
  CG_FILTER* source = nullptr;
  ASSERT_EQ(cg_DeviceBindSource(a.device, &source), VFW_E_NO_CAPTURE_HARDWARE);
  EXPECT_EQ(cg_RelistGoneCameras(), 1);
  EXPECT_EQ(cg_RelistGoneCameras(), 0) << "nothing changed within the pause";
  ASSERT_EQ(cg_SetUvcCameraState(0, CG_UVC_PLUGGED), S_OK);
  EXPECT_EQ(cg_RelistGoneCameras(), 1) << "a new node is listed without waiting for the pause";
  ASSERT_EQ(cg_DeviceBindSource(a.device, &source), S_OK);
  cg_FilterRelease(source);
  EXPECT_EQ(cg_RelistGoneCameras(), 0) << "no camera is gone any more";
}

}  // namespace
