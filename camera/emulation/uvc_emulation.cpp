// The table of emulated UVC cameras and the nodes they show.
#include "emulation/uvc_emulation.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "guarded.h"

namespace pl::capture::uvc {

namespace {

constexpr int kMaxCameras = 20;
constexpr const char* kDefaultName = "USB2.0 HD UVC WebCam";

struct Camera {
  std::string name;
  int port = 1;
  int firstNode = 0;  // video node; the metadata node follows it
  CG_UVC_STATE state = CG_UVC_PLUGGED;
};

struct Table {
  std::mutex mutex;
  std::vector<Camera> cameras;
  int nextNode = 0;  // a camera plugged in again gets the next free numbers
};

Table& table() {
  static auto* t = new Table;  // never destroyed: streaming threads may read it at exit
  return *t;
}

std::string nodePath(int n) { return "/dev/video" + std::to_string(n); }

}  // namespace

std::vector<Node> nodes() {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  std::vector<Node> out;
  for (const Camera& c : t.cameras) {
    if (c.state == CG_UVC_UNPLUGGED) continue;
    const std::string port = std::to_string(c.port);
    for (int k = 0; k < 2; ++k) {
      Node n;
      n.path = nodePath(c.firstNode + k);
      n.name = c.name;
      n.busPath = "pci-0000:00:14.0-usb-0:" + port + ":1.0";
      n.busInfo = "usb-0000:00:14.0-" + port;
      n.metadata = k == 1;
      n.state = c.state;
      out.push_back(std::move(n));
    }
  }
  std::sort(out.begin(), out.end(), [](const Node& a, const Node& b) {
    return a.path.size() != b.path.size() ? a.path.size() < b.path.size() : a.path < b.path;
  });
  return out;
}

CG_UVC_STATE stateOf(const std::string& path) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  for (const Camera& c : t.cameras) {
    if (c.state != CG_UVC_UNPLUGGED && (path == nodePath(c.firstNode) || path == nodePath(c.firstNode + 1)))
      return c.state;
  }
  return CG_UVC_UNPLUGGED;
}

std::vector<std::string> forbiddenNodes() {
  std::vector<std::string> out;
  for (const Node& n : nodes())
    if (n.state == CG_UVC_NO_PERMISSION) out.push_back(n.path);
  return out;
}

HRESULT setCameras(const CG_UVC_SPEC* specs, int count) {
  if (count < 0 || count > kMaxCameras) return E_INVALIDARG;
  if (count > 0 && !specs) return E_POINTER;
  std::vector<Camera> cameras;
  for (int i = 0; i < count; ++i) {
    if (specs[i].port < 0 || specs[i].port > 99) return E_INVALIDARG;
    Camera c;
    c.name = specs[i].name ? specs[i].name : kDefaultName;
    c.port = specs[i].port == 0 ? i + 1 : specs[i].port;
    c.firstNode = 2 * i;
    cameras.push_back(std::move(c));
  }
  Table& t = table();
  std::lock_guard lock(t.mutex);
  t.cameras.swap(cameras);
  t.nextNode = 2 * count;
  return S_OK;
}

HRESULT setState(int camera, CG_UVC_STATE state) {
  if (state < CG_UVC_PLUGGED || state > CG_UVC_NO_BANDWIDTH) return E_INVALIDARG;
  Table& t = table();
  std::lock_guard lock(t.mutex);
  if (camera < 0 || static_cast<size_t>(camera) >= t.cameras.size()) return E_INVALIDARG;
  Camera& c = t.cameras[static_cast<size_t>(camera)];
  if (c.state == CG_UVC_UNPLUGGED && state != CG_UVC_UNPLUGGED) {
    c.firstNode = t.nextNode;  // back in its port under new node numbers
    t.nextNode += 2;
  }
  c.state = state;
  return S_OK;
}

void useDefaultCameras(int count) {
  std::vector<CG_UVC_SPEC> specs(static_cast<size_t>(std::clamp(count, 0, kMaxCameras)), CG_UVC_SPEC{nullptr, 0});
  setCameras(specs.data(), static_cast<int>(specs.size()));
}

}  // namespace pl::capture::uvc

using namespace pl::capture;

PL_BEGIN_C

HRESULT cg_SetUvcCameras(const CG_UVC_SPEC* specs, int count) {
  return guarded([&] { return uvc::setCameras(specs, count); });
}

HRESULT cg_SetUvcCameraState(int camera, CG_UVC_STATE state) {
  return guarded([&] { return uvc::setState(camera, state); });
}

PL_END_C
