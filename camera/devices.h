// Video input devices: real V4L2 cameras and virtual cameras, each with its
// friendly name and capability list. Device descriptions are immutable and
// shared by every reference handed out, so a device stays usable after the
// virtual cameras are replaced.
#pragma once
#include <gst/gst.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats.h"
#include "gst_support.h"

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
  std::string port;         // USB port path: where a camera plugged in again is found
  std::string description;  // name, node, port and formats offered, for the log and listings
  // Virtual camera.
  std::shared_ptr<VirtualCamera> virtualCamera;
};
using DevicePtr = std::shared_ptr<const DeviceInfo>;

// Real cameras, then virtual ones. Vanishing cameras listed here will not be
// listed again.
std::vector<DevicePtr> enumerateDevices();

// Binding: the device as it is now. A real camera is opened as its source
// element opens it (the element brought to READY and back, its formats read
// into `offered`); one that is gone is looked for in its USB port's newest
// listing, so a camera plugged back in (under another node) is bound there
// once relistGoneCameras has found it. S_OK, or VFW_E_NO_CAPTURE_HARDWARE
// when the camera cannot be opened.
HRESULT bindDevice(const DevicePtr& device, DevicePtr* bound, CapsPtr* offered);
// Lists the cameras again when a camera could not be bound and either a video
// node came or went since the last listing or its port was not looked at for
// kRelistPause; true when it listed.
inline constexpr std::chrono::milliseconds kRelistPause{2000};
bool relistGoneCameras();
// The video nodes, real and emulated, that exist but that this user may not open.
std::vector<std::string> forbiddenNodes();
// How many times the cameras were listed, and devices bound, in this process.
int listingCount();
int bindCount();

// Real V4L2 cameras (and emulated UVC ones) sorted by USB port path, then
// device path. Nodes without a capture format (a UVC camera's metadata node)
// are left out.
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
