// Virtual cameras: configured in code, or $VCAM_DEVICES of them at $VCAM_FPS
// ($VCAM_UVC=1: as emulated UVC webcams instead).
#include <QString>
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>

#include "devices.h"
#include "emulation/uvc_emulation.h"

namespace pl::capture {

namespace {

constexpr int kMaxVirtualCameras = 20;
constexpr int kMaxFps = 240;
constexpr int kMaxCapabilities = 256;
constexpr DWORD kKnownFaults = CG_VCAM_CANNOT_OPEN | CG_VCAM_NO_STREAM_CONFIG | CG_VCAM_NO_FRAMES | CG_VCAM_VANISHES;

struct VirtualSet {
  std::mutex mutex;
  bool configured = false;
  std::vector<DevicePtr> devices;
};

// Never destroyed: devices may be enumerated while the process exits.
VirtualSet& virtualSet() {
  static auto* set = new VirtualSet;
  return *set;
}

// A whole decimal number (blanks around it allowed), else nullopt.
std::optional<long> wholeNumber(const char* text) {
  if (!text) return std::nullopt;
  std::string_view s(text);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  long value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

DevicePtr makeCamera(int number, const char* name, std::vector<Capability> caps, int fps, DWORD faults) {
  auto info = std::make_shared<DeviceInfo>();
  info->name = name ? QString::fromUtf8(name).toStdU16String()
                    : QStringLiteral("Virtual Camera %1").arg(number).toStdU16String();
  for (Capability& c : caps) c.framesPerSecond = fps;
  info->caps = std::move(caps);
  info->streamConfig = (faults & CG_VCAM_NO_STREAM_CONFIG) == 0;
  info->virtualCamera = std::make_shared<VirtualCamera>();
  info->virtualCamera->framesPerSecond = fps;
  info->virtualCamera->faults = faults;
  return info;
}

std::vector<DevicePtr> fromEnvironment() {
  const long count =
      std::clamp(wholeNumber(std::getenv("VCAM_DEVICES")).value_or(0), 0L, static_cast<long>(kMaxVirtualCameras));
  if (wholeNumber(std::getenv("VCAM_UVC")).value_or(0) == 1) {
    // The cameras are emulated UVC webcams, listed and streamed as real ones.
    uvc::useDefaultCameras(static_cast<int>(count));
    return {};
  }
  long fps = wholeNumber(std::getenv("VCAM_FPS")).value_or(30);
  fps = fps < 1 ? 30 : std::min(fps, static_cast<long>(kMaxFps));
  std::vector<DevicePtr> devices;
  for (int i = 1; i <= count; ++i)
    devices.push_back(
        makeCamera(i, nullptr, defaultVirtualCapabilities(static_cast<int>(fps)), static_cast<int>(fps), 0));
  return devices;
}

}  // namespace

std::vector<Capability> defaultVirtualCapabilities(int fps) {
  std::vector<Capability> caps;
  for (const auto& [w, h] : {std::pair{640, 480}, {320, 240}, {160, 124}, {160, 120}}) {
    for (const auto& [compression, bits] : {std::pair{FOURCC_I420, 12}, {FOURCC_IYUV, 12}, {BI_RGB, 24}}) {
      Capability c;
      c.width = w;
      c.height = h;
      c.compression = compression;
      c.bitCount = static_cast<WORD>(bits);
      c.framesPerSecond = fps;
      caps.push_back(c);
    }
  }
  return caps;
}

std::vector<DevicePtr> virtualDevices() {
  VirtualSet& set = virtualSet();
  std::lock_guard lock(set.mutex);
  if (!set.configured) {
    set.devices = fromEnvironment();
    set.configured = true;
  }
  return set.devices;
}

void useEnvironmentCameras() {
  std::vector<DevicePtr> devices = fromEnvironment();
  VirtualSet& set = virtualSet();
  std::lock_guard lock(set.mutex);
  set.devices.swap(devices);
  set.configured = true;
}

HRESULT setVirtualCameras(const CG_VCAM_SPEC* specs, int count) {
  if (count < 0 || count > kMaxVirtualCameras) return E_INVALIDARG;
  if (count > 0 && !specs) return E_POINTER;
  std::vector<DevicePtr> devices;
  for (int i = 0; i < count; ++i) {
    const CG_VCAM_SPEC& spec = specs[i];
    if (spec.framesPerSecond < 0 || spec.framesPerSecond > kMaxFps || (spec.faults & ~kKnownFaults) ||
        spec.capCount < 0 || spec.capCount > kMaxCapabilities)
      return E_INVALIDARG;
    const int fps = spec.framesPerSecond == 0 ? 30 : spec.framesPerSecond;
    std::vector<Capability> caps;
    if (!spec.caps) {
      caps = defaultVirtualCapabilities(fps);
    } else {
      for (int k = 0; k < spec.capCount; ++k) {
        const CG_VCAM_CAP& in = spec.caps[k];
        if (!validVirtualCap(in)) return E_INVALIDARG;
        Capability c;
        c.width = in.width;
        c.height = in.height;
        c.compression = in.compression;
        c.bitCount = in.bitCount;
        caps.push_back(c);
      }
    }
    devices.push_back(makeCamera(i + 1, spec.name, std::move(caps), fps, spec.faults));
  }
  VirtualSet& set = virtualSet();
  std::lock_guard lock(set.mutex);
  set.devices.swap(devices);
  set.configured = true;
  return S_OK;
}

}  // namespace pl::capture
