// Device enumeration: virtual cameras from the environment and from code,
// friendly names, refused handles, and cameras that cannot open or vanish.
#include "capture_internal.h"
#include "capture_test_support.h"
#include "testkit/env.h"

namespace {

using pl::capture::detail::rereadVirtualCameraEnvironment;
using testkit::ScopedEnv;

std::vector<std::string> numberedCameras(int n) {
  std::vector<std::string> names;
  for (int i = 1; i <= n; ++i) names.push_back("Virtual Camera " + std::to_string(i));
  return names;
}

// 100 ns units per frame of the first capability of device `index`.
int64_t firstFrameInterval(int index) {
  CaptureGraph g(index);
  CG_STREAMCONFIG* sc = nullptr;
  if (cg_BuilderFindStreamConfig(g.builder, g.source, &sc) != S_OK) return -1;
  AM_MEDIA_TYPE* mt = nullptr;
  BYTE caps[128];
  int64_t interval = -1;
  if (cg_StreamConfigGetStreamCaps(sc, 0, &mt, caps) == S_OK) interval = testkit::videoInfoOf(mt).AvgTimePerFrame;
  DeleteMediaType(mt);
  cg_StreamConfigRelease(sc);
  return interval;
}

// Each row sets the variable (nullptr: unset) and reads it again.
using EnvironmentCameras = CaptureTest;

TEST_F(EnvironmentCameras, VcamDevicesSetsHowManyVirtualCamerasAppear) {
  // No real camera on the test machine: the list is the virtual cameras alone.
  struct Case {
    const char* value;
    int expected;
  };
  for (const Case& c : {Case{nullptr, 0}, Case{"0", 0}, Case{"3", 3}, Case{" 2 ", 2}, Case{"25", 20},
                        Case{"garbage", 0}, Case{"3x", 0}, Case{"-4", 0}, Case{"", 0}}) {
    SCOPED_TRACE(c.value ? c.value : "(unset)");
    const ScopedEnv devices("VCAM_DEVICES", c.value);
    rereadVirtualCameraEnvironment();
    EXPECT_EQ(deviceNames(), numberedCameras(c.expected));
  }
}

TEST_F(EnvironmentCameras, VcamFpsSetsTheirFrameRate) {
  const ScopedEnv devices("VCAM_DEVICES", "1");
  struct Case {
    const char* value;
    int64_t interval;
  };
  for (const Case& c : {Case{nullptr, 333333}, Case{"15", 666666}, Case{"junk", 333333}, Case{"0", 333333}}) {
    SCOPED_TRACE(c.value ? c.value : "(unset)");
    const ScopedEnv fps("VCAM_FPS", c.value);
    rereadVirtualCameraEnvironment();
    EXPECT_EQ(firstFrameInterval(0), c.interval);
  }
}

TEST_F(CaptureTest, CamerasMadeInCodeKeepTheirOrderAndNames) {
  useCameras({{"Front door", nullptr, 0, 0, 0}, {nullptr, nullptr, 0, 0, 0}, {"入口カメラ", nullptr, 0, 0, 0}});
  EXPECT_EQ(deviceNames(), (std::vector<std::string>{"Front door", "Virtual Camera 2", "入口カメラ"}));

  // Names come as UTF-16 units, cut to the room given.
  CG_DEVENUM* e = nullptr;
  ASSERT_EQ(cg_CreateDeviceEnumerator(&e), S_OK);
  CG_DEVICE* d = nullptr;
  for (int i = 0; i < 3; ++i) {
    cg_DeviceRelease(d);
    ASSERT_EQ(cg_DeviceEnumNext(e, &d), S_OK) << i;
  }
  uint16_t name[8] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
  EXPECT_EQ(cg_DeviceFriendlyName(d, nullptr, 0), 5);
  EXPECT_EQ(cg_DeviceFriendlyName(d, name, 3), 2);
  // 入口, the terminating zero, and the rest left as it was.
  EXPECT_EQ(std::vector<uint16_t>(name, name + 4), (std::vector<uint16_t>{0x5165, 0x53E3, 0, 0xFFFF}));
  EXPECT_EQ(cg_DeviceFriendlyName(d, name, 8), 5);
  EXPECT_EQ(name[4], 0x30E9);  // ラ
  // The end of the list stays the end.
  CG_DEVICE* none = reinterpret_cast<CG_DEVICE*>(1);
  EXPECT_EQ(cg_DeviceEnumNext(e, &none), S_FALSE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(cg_DeviceEnumNext(e, &none), S_FALSE);
  cg_DeviceRelease(d);
  cg_DeviceEnumRelease(e);
}

TEST_F(CaptureTest, UnknownAndReleasedHandlesAreRefused) {
  useCameras({{nullptr, nullptr, 0, 0, 0}});
  CG_DEVENUM* e = nullptr;
  ASSERT_EQ(cg_CreateDeviceEnumerator(&e), S_OK);
  CG_DEVICE* d = nullptr;
  ASSERT_EQ(cg_DeviceEnumNext(e, &d), S_OK);
  cg_DeviceEnumRelease(e);
  CG_DEVICE* next = nullptr;
  EXPECT_EQ(cg_DeviceEnumNext(e, &next), E_HANDLE);  // released

  int junk[64] = {};
  auto* fakeDevice = reinterpret_cast<CG_DEVICE*>(junk);
  uint16_t name[16];
  EXPECT_EQ(cg_DeviceFriendlyName(fakeDevice, name, 16), -1);
  CG_FILTER* f = nullptr;
  EXPECT_EQ(cg_DeviceBindSource(fakeDevice, &f), E_HANDLE);
  EXPECT_EQ(cg_GraphRun(reinterpret_cast<CG_GRAPH*>(junk)), E_HANDLE);
  // A handle of one kind is not accepted as another.
  EXPECT_EQ(cg_GraphRun(reinterpret_cast<CG_GRAPH*>(d)), E_HANDLE);
  EXPECT_EQ(cg_DeviceEnumNext(nullptr, &next), E_HANDLE);
  EXPECT_EQ(cg_DeviceBindSource(d, nullptr), E_POINTER);
  cg_DeviceRelease(reinterpret_cast<CG_DEVICE*>(junk));
  cg_GraphRelease(nullptr);

  // An extra reference keeps the device alive through one release.
  cg_DeviceAddRef(d);
  cg_DeviceRelease(d);
  EXPECT_EQ(cg_DeviceFriendlyName(d, name, 16), 16 - 1);
  cg_DeviceRelease(d);
  EXPECT_EQ(cg_DeviceFriendlyName(d, name, 16), -1);
}

TEST_F(CaptureTest, DevicesHandedOutOutliveAReplacedCameraList) {
  useCameras({{"Kept", nullptr, 0, 0, 0}});
  CG_DEVICE* d = testkit::deviceAt(0);
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(cg_SetVirtualCameras(nullptr, 0), S_OK);
  EXPECT_TRUE(deviceNames().empty());
  CG_FILTER* source = nullptr;
  EXPECT_EQ(cg_DeviceBindSource(d, &source), S_OK);
  EXPECT_NE(source, nullptr);
  cg_FilterRelease(source);
  cg_DeviceRelease(d);
}

TEST_F(CaptureTest, InvalidCameraListsAreRefusedAndChangeNothing) {
  useCameras({{"Before", nullptr, 0, 0, 0}});
  const CG_VCAM_CAP rgb16{160, 120, BI_RGB, 16};
  const CG_VCAM_CAP tiny{8, 8, FOURCC_I420, 12};
  const CG_VCAM_CAP mjpg{160, 120, PL_FOURCC('M', 'J', 'P', 'G'), 24};
  std::vector<CG_VCAM_SPEC> many(21, CG_VCAM_SPEC{nullptr, nullptr, 0, 0, 0});
  EXPECT_EQ(cg_SetVirtualCameras(many.data(), 21), E_INVALIDARG);
  EXPECT_EQ(cg_SetVirtualCameras(many.data(), -1), E_INVALIDARG);
  EXPECT_EQ(cg_SetVirtualCameras(nullptr, 1), E_POINTER);
  for (const CG_VCAM_SPEC& bad : {CG_VCAM_SPEC{"x", &rgb16, 1, 0, 0}, CG_VCAM_SPEC{"x", &tiny, 1, 0, 0},
                                  CG_VCAM_SPEC{"x", &mjpg, 1, 0, 0}, CG_VCAM_SPEC{"x", nullptr, 0, -1, 0},
                                  CG_VCAM_SPEC{"x", nullptr, 0, 0, 0x100}, CG_VCAM_SPEC{"x", &tiny, -1, 0, 0}})
    EXPECT_EQ(cg_SetVirtualCameras(&bad, 1), E_INVALIDARG);
  EXPECT_EQ(deviceNames(), std::vector<std::string>{"Before"});
}

TEST_F(CaptureTest, CamerasThatCannotOpenOrVanishAreListedButCannotBind) {
  useCameras({{"Broken", nullptr, 0, 0, CG_VCAM_CANNOT_OPEN},
              {"Fleeting", nullptr, 0, 0, CG_VCAM_VANISHES},
              {"Fine", nullptr, 0, 0, 0}});
  CG_DEVENUM* e = nullptr;
  ASSERT_EQ(cg_CreateDeviceEnumerator(&e), S_OK);
  std::vector<HRESULT> binds;
  CG_DEVICE* d = nullptr;
  while (cg_DeviceEnumNext(e, &d) == S_OK) {
    CG_FILTER* source = nullptr;
    binds.push_back(cg_DeviceBindSource(d, &source));
    cg_FilterRelease(source);
    cg_DeviceRelease(d);
  }
  cg_DeviceEnumRelease(e);
  EXPECT_EQ(binds, (std::vector<HRESULT>{VFW_E_NO_CAPTURE_HARDWARE, VFW_E_NO_CAPTURE_HARDWARE, S_OK}));
  // Gone from later lists.
  EXPECT_EQ(deviceNames(), (std::vector<std::string>{"Broken", "Fine"}));
}

TEST(CapturePortOrder, DigitRunsCompareAsNumbers) {
  using pl::capture::detail::comparePortPaths;
  EXPECT_LT(comparePortPaths("pci-0000:00:14.0-usb-0:2:1.0", "pci-0000:00:14.0-usb-0:10:1.0"), 0);
  EXPECT_LT(comparePortPaths("usb-0:1.4:1.0", "usb-0:1.10:1.0"), 0);
  EXPECT_GT(comparePortPaths("usb-1:1:1.0", "usb-0:9:1.0"), 0);
  EXPECT_EQ(comparePortPaths("usb-0:02", "usb-0:2"), 0);
  EXPECT_LT(comparePortPaths("", "usb-0:1"), 0);
  EXPECT_LT(comparePortPaths("/dev/video2", "/dev/video10"), 0);
}

}  // namespace
