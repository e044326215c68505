// Real cameras through GStreamer's V4L2 device provider. The provider is
// asked directly rather than through a device monitor, so cameras are not
// listed twice by other providers (PipeWire, libcamera) that see the same
// hardware, and nothing else is started.
#include <gst/video/video.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "device_errors.h"
#include "devices.h"
#include "emulation/uvc_emulation.h"
#include "gstreamer_init.h"

namespace pl::capture {

namespace {

// The /dev/video* nodes that exist, by name.
std::vector<std::string> realVideoNodes() {
  std::vector<std::string> paths;
  if (DIR* dev = opendir("/dev")) {
    while (const dirent* entry = readdir(dev))
      if (std::strncmp(entry->d_name, "video", 5) == 0) paths.push_back(std::string("/dev/") + entry->d_name);
    closedir(dev);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::string property(const GstStructure* props, const char* key) {
  const gchar* value = props ? gst_structure_get_string(props, key) : nullptr;
  return value ? value : "";
}

// The USB port the camera sits in, so it keeps its place across runs.
std::string portPath(const GstStructure* props) {
  for (const char* key : {"device.bus_path", "v4l2.device.bus_info", "sysfs.path"}) {
    std::string value = property(props, key);
    if (!value.empty()) return value;
  }
  return "";
}

int fractionFps(const GValue* v) {
  const int num = gst_value_get_fraction_numerator(v);
  const int den = gst_value_get_fraction_denominator(v);
  return den > 0 && num > 0 ? static_cast<int>(std::lround(static_cast<double>(num) / den)) : 0;
}

int highestFps(const GstStructure* s) {
  const GValue* v = gst_structure_get_value(s, "framerate");
  int best = 0;
  if (v && GST_VALUE_HOLDS_FRACTION(v))
    best = fractionFps(v);
  else if (v && GST_VALUE_HOLDS_LIST(v)) {
    for (guint i = 0; i < gst_value_list_get_size(v); ++i) {
      const GValue* item = gst_value_list_get_value(v, i);
      if (GST_VALUE_HOLDS_FRACTION(item)) best = std::max(best, fractionFps(item));
    }
  } else if (v && GST_VALUE_HOLDS_FRACTION_RANGE(v)) {
    best = fractionFps(gst_value_get_fraction_range_max(v));
  }
  return best > 0 ? std::min(best, 240) : 30;
}

std::string sizeCaps(const char* media, LONG w, LONG h) {
  return std::string(media) + ",width=" + std::to_string(w) + ",height=" + std::to_string(h);
}

bool systemMemory(const GstCaps* caps, guint i) {
  const GstCapsFeatures* f = gst_caps_get_features(caps, i);
  return !f || gst_caps_features_is_equal(f, GST_CAPS_FEATURES_MEMORY_SYSTEM_MEMORY);
}

// The formats a camera offers, as "MJPG 1280x720 640x480; YUY2 640x480".
std::string offeredFormats(const GstCaps* caps) {
  std::vector<std::pair<std::string, std::vector<std::string>>> formats;
  const guint n = caps ? gst_caps_get_size(caps) : 0;
  for (guint i = 0; i < n; ++i) {
    const GstStructure* s = gst_caps_get_structure(caps, i);
    int w = 0, h = 0;
    if (!systemMemory(caps, i) || !gst_structure_get_int(s, "width", &w) || !gst_structure_get_int(s, "height", &h))
      continue;
    const gchar* raw = gst_structure_get_string(s, "format");
    const std::string name = std::string_view(gst_structure_get_name(s)) == "image/jpeg" ? "MJPG" : raw ? raw : "?";
    auto it = std::find_if(formats.begin(), formats.end(), [&](const auto& f) { return f.first == name; });
    if (it == formats.end()) it = formats.insert(formats.end(), {name, {}});
    const std::string size = std::to_string(w) + "x" + std::to_string(h);
    if (std::find(it->second.begin(), it->second.end(), size) == it->second.end()) it->second.push_back(size);
  }
  std::string text;
  for (const auto& [name, sizes] : formats) {
    text += (text.empty() ? "" : "; ") + name;
    for (const std::string& size : sizes) text += " " + size;
  }
  return text.empty() ? "none" : text;
}

}  // namespace

int naturalCompare(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    if (digit(a[i]) && digit(b[j])) {
      size_t ei = i, ej = j;
      while (ei < a.size() && digit(a[ei])) ++ei;
      while (ej < b.size() && digit(b[ej])) ++ej;
      std::string_view na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
      while (na.size() > 1 && na.front() == '0') na.remove_prefix(1);
      while (nb.size() > 1 && nb.front() == '0') nb.remove_prefix(1);
      if (na.size() != nb.size()) return na.size() < nb.size() ? -1 : 1;
      if (const int c = na.compare(nb); c != 0) return c < 0 ? -1 : 1;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
      ++i;
      ++j;
    }
  }
  if (a.size() - i == b.size() - j) return 0;
  return a.size() - i < b.size() - j ? -1 : 1;
}

std::vector<Capability> realCapabilities(const GstCaps* caps) {
  struct Size {
    LONG w, h;
    int rawFps = 0;  // 0: no raw format at this size
    int jpegFps = 0;
  };
  std::vector<Capability> natives;
  std::vector<Size> sizes;
  const guint n = caps ? gst_caps_get_size(caps) : 0;
  for (guint i = 0; i < n; ++i) {
    const GstStructure* s = gst_caps_get_structure(caps, i);
    int w = 0, h = 0;
    if (!systemMemory(caps, i) || !gst_structure_get_int(s, "width", &w) || !gst_structure_get_int(s, "height", &h) ||
        w <= 0 || h <= 0 || w > 8192 || h > 8192)
      continue;
    const std::string_view media = gst_structure_get_name(s);
    const bool jpeg = media == "image/jpeg";
    const gchar* format = media == "video/x-raw" ? gst_structure_get_string(s, "format") : nullptr;
    if (!jpeg && (!format || gst_video_format_from_string(format) == GST_VIDEO_FORMAT_UNKNOWN)) continue;
    const int fps = highestFps(s);
    const bool yuy2 = !jpeg && std::string_view(format) == "YUY2";
    if (jpeg || yuy2) {
      Capability native;
      native.width = w;
      native.height = h;
      native.compression = jpeg ? kFourccMjpg : kFourccYuy2;
      native.bitCount = jpeg ? 24 : 16;
      native.framesPerSecond = fps;
      native.sourceIsJpeg = jpeg;
      native.sourceCaps = jpeg ? sizeCaps("image/jpeg", w, h) : sizeCaps("video/x-raw,format=YUY2", w, h);
      const bool known = std::any_of(natives.begin(), natives.end(), [&](const Capability& c) {
        return c.width == w && c.height == h && c.compression == native.compression;
      });
      if (!known) natives.push_back(native);
    }
    auto it = std::find_if(sizes.begin(), sizes.end(), [&](const Size& z) { return z.w == w && z.h == h; });
    if (it == sizes.end()) it = sizes.insert(sizes.end(), Size{w, h});
    int& best = jpeg ? it->jpegFps : it->rawFps;
    best = std::max(best, fps);
  }
  std::vector<Capability> all = natives;
  for (const Size& z : sizes) {
    for (const auto& [compression, bits] : {std::pair{FOURCC_I420, 12}, {FOURCC_IYUV, 12}, {BI_RGB, 24}}) {
      Capability c;
      c.width = z.w;
      c.height = z.h;
      c.compression = compression;
      c.bitCount = static_cast<WORD>(bits);
      // Raw frames need no decoding; MJPEG is used where a size has no raw
      // format or a faster one (USB 2.0 webcams send large raw frames slowly).
      const bool raw = z.rawFps > 0 && z.rawFps >= z.jpegFps;
      c.framesPerSecond = raw ? z.rawFps : z.jpegFps;
      c.sourceIsJpeg = !raw;
      c.sourceCaps = raw ? sizeCaps("video/x-raw", z.w, z.h) : sizeCaps("image/jpeg", z.w, z.h);
      all.push_back(c);
    }
  }
  return all;
}

namespace {

constexpr guint kCapVideoCapture = 0x00000001u, kCapVideoCaptureMplane = 0x00001000u;

// The providers asked: the V4L2 one for real cameras, ours for emulated ones.
constexpr const char* kProviders[] = {"v4l2deviceprovider", "uvcemudeviceprovider"};

// A node that can capture video (a UVC camera's metadata node cannot).
bool capturesVideo(const GstStructure* props, const std::vector<Capability>& caps) {
  guint deviceCaps = 0;
  if (props && gst_structure_get_uint(props, "v4l2.device.device_caps", &deviceCaps) &&
      (deviceCaps & (kCapVideoCapture | kCapVideoCaptureMplane)) == 0)
    return false;
  return !caps.empty();
}

// The newest listing of each USB port, so that an old device reference finds
// its camera after it was plugged in again; the ports whose camera could not
// be bound, with when the cameras were last listed for them; and the video
// nodes that existed when they were last listed.
struct PortTable {
  std::mutex mutex;
  std::map<std::string, DevicePtr> latest;
  std::map<std::string, std::chrono::steady_clock::time_point> gone;
  std::string listedNodes;
};

// The names of the video nodes that exist now, real and emulated. Reading
// them opens no node, so it is cheap enough for every look for a gone camera:
// a camera plugged back in adds a node, and is listed at once rather than
// after the pause.
std::string videoNodes() {
  std::vector<std::string> names = realVideoNodes();
  for (const uvc::Node& node : uvc::nodes()) names.push_back(node.path);
  std::string joined;
  for (const std::string& name : names) joined += name + '\n';
  return joined;
}

std::atomic<int> listings{0};
std::atomic<int> binds{0};

PortTable& ports() {
  static auto* t = new PortTable;  // never destroyed: devices may be bound while the process exits
  return *t;
}

// Opens the camera as its source element does and reads its formats.
HRESULT touch(const DeviceInfo& device, CapsPtr* offered) {
  GstPtr<GstElement> element(device.device ? adoptFloating(gst_device_create_element(device.device.get(), nullptr))
                                           : nullptr);
  if (!element) return VFW_E_NO_CAPTURE_HARDWARE;
  GstPtr<GstBus> bus(gst_bus_new());
  gst_element_set_bus(element.get(), bus.get());
  HRESULT hr = S_OK;
  if (gst_element_set_state(element.get(), GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
    if (GstMessage* error = gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR)) {
      reportDeviceError(device.devicePath, error);
      gst_message_unref(error);
    }
    hr = VFW_E_NO_CAPTURE_HARDWARE;
  } else if (offered) {
    GstPtr<GstPad> pad(gst_element_get_static_pad(element.get(), "src"));
    offered->reset(pad ? gst_pad_query_caps(pad.get(), nullptr) : nullptr);
  }
  gst_element_set_state(element.get(), GST_STATE_NULL);
  gst_element_set_bus(element.get(), nullptr);
  return hr;
}

}  // namespace

std::vector<DevicePtr> realDevices() {
  static std::mutex mutex;  // one probe at a time (window thread and device-check worker)
  std::lock_guard lock(mutex);
  ++listings;
  std::string nodes = videoNodes();  // before probing: a node added meanwhile is listed next time
  struct Found {
    std::string port, path;
    DevicePtr info;
  };
  std::vector<Found> found;
  for (const char* name : kProviders) {
    GstPtr<GstDeviceProvider> provider(gst_device_provider_factory_get_by_name(name));
    if (!provider) continue;
    GList* list = gst_device_provider_get_devices(provider.get());
    for (GList* item = list; item; item = item->next) {
      GstPtr<GstDevice> device(static_cast<GstDevice*>(item->data));
      if (!gst_device_has_classes(device.get(), "Video/Source")) continue;
      StructurePtr props(gst_device_get_properties(device.get()));
      CapsPtr caps(gst_device_get_caps(device.get()));
      GCharPtr display(gst_device_get_display_name(device.get()));
      auto info = std::make_shared<DeviceInfo>();
      info->caps = realCapabilities(caps.get());
      if (!capturesVideo(props.get(), info->caps)) continue;
      info->name = QString::fromUtf8(display ? display.get() : "").toStdU16String();
      info->devicePath = property(props.get(), "device.path");
      info->port = portPath(props.get());
      info->description = "\"" + std::string(display ? display.get() : "") + "\" " + info->devicePath + ", USB port " +
                          (info->port.empty() ? "unknown" : info->port) + ", formats: " + offeredFormats(caps.get());
      info->device = std::move(device);
      found.push_back({info->port, info->devicePath, std::move(info)});
    }
    g_list_free(list);
  }
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    if (const int c = naturalCompare(a.port, b.port); c != 0) return c < 0;
    return naturalCompare(a.path, b.path) < 0;
  });
  // One log line per camera the first time it is listed: the start-up
  // listing names every camera, a camera plugged in later is named when the
  // program lists cameras again.
  static std::set<std::string> logged;
  std::vector<DevicePtr> devices;
  {
    std::lock_guard portLock(ports().mutex);
    ports().listedNodes = std::move(nodes);
    for (Found& f : found) {
      if (!f.port.empty()) ports().latest[f.port] = f.info;
      if (logged.insert(f.info->description).second) qInfo("camera %s", f.info->description.c_str());
      devices.push_back(std::move(f.info));
    }
  }
  return devices;
}

HRESULT bindDevice(const DevicePtr& device, DevicePtr* bound, CapsPtr* offered) {
  *bound = nullptr;
  ++binds;
  if (const auto& cam = device->virtualCamera) {
    if (cam->faults & CG_VCAM_CANNOT_OPEN) return VFW_E_NO_CAPTURE_HARDWARE;
    if ((cam->faults & CG_VCAM_VANISHES) && cam->listed.load()) return VFW_E_NO_CAPTURE_HARDWARE;
    *bound = device;
    return S_OK;
  }
  // The newest listing of the camera's port first: after a replug it names the new node.
  auto latest = [&]() -> DevicePtr {
    if (device->port.empty()) return device;
    std::lock_guard lock(ports().mutex);
    const auto it = ports().latest.find(device->port);
    return it == ports().latest.end() ? device : it->second;
  };
  DevicePtr candidate = latest();
  if (SUCCEEDED(touch(*candidate, offered))) {
    if (!device->port.empty()) {
      std::lock_guard lock(ports().mutex);
      ports().gone.erase(device->port);
    }
    *bound = std::move(candidate);
    return S_OK;
  }
  // Gone from its node: relistGoneCameras looks in its port again. Listing
  // opens every video node, far too slow for a caller that holds a lock.
  if (!device->port.empty()) {
    std::lock_guard lock(ports().mutex);
    ports().gone.emplace(device->port, std::chrono::steady_clock::time_point{});
  }
  return VFW_E_NO_CAPTURE_HARDWARE;
}

bool relistGoneCameras() {
  {
    // The device check calls this on every tick; with no camera gone, /dev is not read.
    std::lock_guard lock(ports().mutex);
    if (ports().gone.empty()) return false;
  }
  const auto now = std::chrono::steady_clock::now();
  const std::string nodes = videoNodes();
  {
    std::lock_guard lock(ports().mutex);
    auto& gone = ports().gone;
    if (gone.empty()) return false;
    const bool due = nodes != ports().listedNodes || std::any_of(gone.begin(), gone.end(), [&](const auto& port) {
                       return now - port.second >= kRelistPause;
                     });
    if (!due) return false;
    for (auto& port : gone) port.second = now;
  }
  realDevices();
  return true;
}

std::vector<std::string> forbiddenNodes() {
  std::vector<std::string> out;
  for (const std::string& path : realVideoNodes()) {
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
      close(fd);
    else if (errno == EACCES || errno == EPERM)
      out.push_back(path);
  }
  for (std::string& path : uvc::forbiddenNodes()) out.push_back(std::move(path));
  return out;
}

int listingCount() { return listings.load(); }

int bindCount() { return binds.load(); }

std::vector<DevicePtr> enumerateDevices() {
  std::vector<DevicePtr> virtuals = virtualDevices();  // first: $VCAM_UVC makes emulated real ones
  std::vector<DevicePtr> devices = ensureGstreamer() ? realDevices() : std::vector<DevicePtr>{};
  for (DevicePtr& d : virtuals) {
    const auto& cam = d->virtualCamera;
    if ((cam->faults & CG_VCAM_VANISHES) && cam->listed.exchange(true)) continue;
    devices.push_back(std::move(d));
  }
  return devices;
}

}  // namespace pl::capture
