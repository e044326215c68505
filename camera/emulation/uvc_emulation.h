// Emulated UVC webcams: cameras that reach the capture graph service the way
// real ones do, through a GStreamer device provider ("uvcemudeviceprovider")
// and a source element ("uvcemusrc") of our own, registered as a static
// plugin. The provider lists each camera as the V4L2 provider lists a UVC
// camera found by udev (display name, `device.path`, `device.bus_path`,
// `v4l2.device.*`), plus the camera's second, metadata-only node. The source
// behaves like v4l2src: it opens the node on the way to READY, offers the
// camera's YUY2 and MJPG caps, streams real YUY2 frames and real JPEG
// pictures, and posts v4l2src's errors for a node that is gone, busy or not
// permitted, and for a camera unplugged while it streams.
//
// Threads: the camera table is guarded by one lock; any thread may read or
// change it (tests change it while a streaming thread reads it).
#pragma once
#include <gst/gst.h>

#include <string>
#include <vector>

#include "camera/testing.h"

namespace pl::capture::uvc {

// One node of an emulated camera as the provider lists it.
struct Node {
  std::string path;       // "/dev/videoN"
  std::string name;       // the camera's display name
  std::string busPath;    // udev's ID_PATH of the USB interface
  std::string busInfo;    // "usb-0000:00:14.0-<port>"
  bool metadata = false;  // the metadata-only node
  CG_UVC_STATE state = CG_UVC_PLUGGED;
};

// The nodes that exist now (unplugged cameras have none), in node order.
std::vector<Node> nodes();
// The state of the camera behind `path`; CG_UVC_UNPLUGGED when no camera
// has that node now.
CG_UVC_STATE stateOf(const std::string& path);
// Nodes that exist but may not be opened.
std::vector<std::string> forbiddenNodes();

HRESULT setCameras(const CG_UVC_SPEC* specs, int count);
HRESULT setState(int camera, CG_UVC_STATE state);
// `count` cameras of the default kind on ports 1..count ($VCAM_UVC).
void useDefaultCameras(int count);

// Registers the provider and the source element once per process.
bool registerPlugin();

// The caps of a typical 720p UVC webcam: YUY2 at 640x480, 160x120, 176x144,
// 320x240, 352x288 and 640x360 at 30, 800x600 at 20 and 1280x720 at 10
// frames per second; MJPG at the same sizes at 30.
GstCaps* webcamCaps();

}  // namespace pl::capture::uvc
