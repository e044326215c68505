// Video input devices: real V4L2 cameras and virtual cameras, each with its
// friendly name and capability list. Device descriptions are immutable and
// shared by every reference handed out, so a device stays usable after the
// virtual cameras are replaced.
#pragma once
#include <gst/gst.h>

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "capture/formats.h"
#include "capture/gst_support.h"

namespace pl::capture {

// The run-time side of a virtual camera.
struct VirtualCamera {
  int framesPerSecond = 30;
  DWORD faults = 0;
  std::atomic<bool> listed{false};  // a vanishing camera is gone once listed
};

struct DeviceInfo {
  std::u16string name;
  std::vector<Capability> caps;
  bool streamConfig = true;
  // Real camera.
  GstPtr<GstDevice> device;
  std::string devicePath;
  // Virtual camera.
  std::shared_ptr<VirtualCamera> virtualCamera;
};
using DevicePtr = std::shared_ptr<const DeviceInfo>;

// Real cameras, then virtual ones. Vanishing cameras listed here will not be
// listed again.
std::vector<DevicePtr> enumerateDevices();

// S_OK when the device can be opened now; VFW_E_NO_CAPTURE_HARDWARE otherwise.
HRESULT openable(const DeviceInfo& device);

// Real V4L2 cameras sorted by USB port path, then device path.
std::vector<DevicePtr> realDevices();
// The capability list of a real camera: native YUY2 and MJPG formats, then
// I420, IYUV and RGB24 at each native size.
std::vector<Capability> realCapabilities(const GstCaps* caps);
// Orders text with digit runs compared as numbers ("usb-0:2" before "usb-0:10").
int naturalCompare(std::string_view a, std::string_view b);

// Virtual cameras: those configured in code, else $VCAM_DEVICES of them at
// $VCAM_FPS, read at first use.
std::vector<DevicePtr> virtualDevices();
HRESULT setVirtualCameras(const CG_VCAM_SPEC* specs, int count);
// Throws the configured cameras away and reads the environment again.
void useEnvironmentCameras();
// The default capability list of a virtual camera at `fps`.
std::vector<Capability> defaultVirtualCapabilities(int fps);

}  // namespace pl::capture
