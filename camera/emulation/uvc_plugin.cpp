// The emulated UVC webcams' GStreamer side: a device provider that lists
// them as the V4L2 provider lists cameras found by udev, and a live source
// element that streams and fails as v4l2src does.
#include <gst/base/gstpushsrc.h>
#include <gst/video/video.h>
#include <libyuv/convert_from.h>
#include <turbojpeg.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <vector>

#include "emulation/frame_stamp.h"
#include "emulation/uvc_emulation.h"
#include "gst_support.h"

namespace pl::capture::uvc {

namespace {

constexpr int kJpegQuality = 85;
// V4L2 capability bits the provider reports.
constexpr guint kCapVideoCapture = 0x00000001u, kCapMetaCapture = 0x00800000u, kCapStreaming = 0x04000000u,
                kCapExtPixFormat = 0x00200000u, kCapDeviceCaps = 0x80000000u;

// --- Source element ------------------------------------------------------------

struct SourceState {
  std::mutex mutex;  // the device property against the streaming thread
  std::string device = "/dev/video0";
  std::atomic<bool> open{false};  // set on the way to READY, read by caps queries from any thread
  bool jpeg = false;
  int width = 0, height = 0, fpsN = 30, fpsD = 1;
  uint64_t frame = 0;
  std::vector<uint8_t> background;  // I420 bars
  std::vector<uint8_t> picture;     // the stamped I420 picture of the current frame
  tjhandle encoder = nullptr;

  std::string path() {
    std::lock_guard lock(mutex);
    return device;
  }
};

struct UvcEmuSrc {
  GstPushSrc parent;
  SourceState* s;
};
struct UvcEmuSrcClass {
  GstPushSrcClass parent_class;
};

enum { PROP_0, PROP_DEVICE };

G_DEFINE_TYPE(UvcEmuSrc, uvc_emu_src, GST_TYPE_PUSH_SRC)

SourceState& state(gpointer self) { return *reinterpret_cast<UvcEmuSrc*>(self)->s; }

// Seven vertical bars, as test charts have.
void paintBars(SourceState& s) {
  static const uint8_t kBars[7][3] = {{180, 128, 128}, {168, 44, 136}, {145, 147, 44}, {133, 63, 52},
                                      {63, 193, 204},  {51, 109, 212}, {28, 212, 120}};
  const int w = s.width, h = s.height, cw = w / 2, ch = h / 2;
  s.background.resize(static_cast<size_t>(w * h + 2 * cw * ch));
  uint8_t* y = s.background.data();
  uint8_t* u = y + w * h;
  uint8_t* v = u + cw * ch;
  for (int row = 0; row < h; ++row)
    for (int x = 0; x < w; ++x) y[row * w + x] = kBars[x * 7 / w][0];
  for (int row = 0; row < ch; ++row)
    for (int x = 0; x < cw; ++x) {
      u[row * cw + x] = kBars[x * 7 / cw][1];
      v[row * cw + x] = kBars[x * 7 / cw][2];
    }
  s.picture = s.background;
}

void srcSetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
  if (id != PROP_DEVICE) {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    return;
  }
  SourceState& s = state(object);
  std::lock_guard lock(s.mutex);
  const gchar* text = g_value_get_string(value);
  s.device = text ? text : "";
}

void srcGetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  if (id != PROP_DEVICE) {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    return;
  }
  g_value_set_string(value, state(object).path().c_str());
}

void srcFinalize(GObject* object) {
  SourceState* s = reinterpret_cast<UvcEmuSrc*>(object)->s;
  if (s->encoder) tjDestroy(s->encoder);
  delete s;
  G_OBJECT_CLASS(uvc_emu_src_parent_class)->finalize(object);
}

// Opening the node happens on the way to READY, as v4l2src does it.
GstStateChangeReturn srcChangeState(GstElement* element, GstStateChange transition) {
  SourceState& s = state(element);
  if (transition == GST_STATE_CHANGE_NULL_TO_READY) {
    const std::string path = s.path();
    switch (stateOf(path)) {
      case CG_UVC_UNPLUGGED:
        GST_ELEMENT_ERROR(element, RESOURCE, NOT_FOUND, ("Cannot identify device '%s'.", path.c_str()),
                          ("system error: No such file or directory"));
        return GST_STATE_CHANGE_FAILURE;
      case CG_UVC_NO_PERMISSION:
        GST_ELEMENT_ERROR(element, RESOURCE, OPEN_READ_WRITE,
                          ("Could not open device '%s' for reading and writing.", path.c_str()),
                          ("system error: Permission denied"));
        return GST_STATE_CHANGE_FAILURE;
      default: s.open = true;
    }
  }
  const GstStateChangeReturn result = GST_ELEMENT_CLASS(uvc_emu_src_parent_class)->change_state(element, transition);
  if (transition == GST_STATE_CHANGE_READY_TO_NULL) s.open = false;
  return result;
}

GstCaps* srcGetCaps(GstBaseSrc* src, GstCaps* filter) {
  SourceState& s = state(src);
  GstCaps* caps = nullptr;
  if (!s.open)
    caps = gst_pad_get_pad_template_caps(GST_BASE_SRC_PAD(src));
  else
    caps = stateOf(s.path()) == CG_UVC_NO_FORMATS ? gst_caps_new_empty() : webcamCaps();
  if (!filter) return caps;
  GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
  gst_caps_unref(caps);
  return both;
}

// Setting the format is where a camera held by another program refuses.
gboolean srcSetCaps(GstBaseSrc* src, GstCaps* caps) {
  SourceState& s = state(src);
  const std::string path = s.path();
  const GstStructure* st = gst_caps_get_structure(caps, 0);
  const bool jpeg = gst_structure_has_name(st, "image/jpeg");
  int w = 0, h = 0, n = 0, d = 1;
  if (!gst_structure_get_int(st, "width", &w) || !gst_structure_get_int(st, "height", &h) ||
      !gst_structure_get_fraction(st, "framerate", &n, &d) || w <= 0 || h <= 0 || n <= 0 || d <= 0)
    return FALSE;
  if (stateOf(path) == CG_UVC_BUSY) {
    GST_ELEMENT_ERROR(src, RESOURCE, BUSY, ("Device '%s' is busy", path.c_str()),
                      ("Call to S_FMT failed for %s @ %dx%d: Device or resource busy", jpeg ? "MJPG" : "YUYV", w, h));
    return FALSE;
  }
  if (stateOf(path) == CG_UVC_NO_BANDWIDTH) {
    // The host controller cannot reserve the isochronous bandwidth of this
    // size and rate beside the other cameras on its bus; v4l2src reports the
    // failed STREAMON as a buffer pool that could not be activated.
    GST_ELEMENT_ERROR(src, RESOURCE, SETTINGS, ("Failed to allocate required memory."),
                      ("Buffer pool activation failed: error with STREAMON 28 (No space left on device) for %s @ %dx%d",
                       jpeg ? "MJPG" : "YUYV", w, h));
    return FALSE;
  }
  if (jpeg && !s.encoder && !(s.encoder = tjInitCompress())) return FALSE;
  s.jpeg = jpeg;
  s.width = w;
  s.height = h;
  s.fpsN = n;
  s.fpsD = d;
  s.frame = 0;
  paintBars(s);
  return TRUE;
}

// A live camera: the base class waits on the clock until each frame is due.
void srcGetTimes(GstBaseSrc*, GstBuffer* buffer, GstClockTime* start, GstClockTime* end) {
  *start = GST_BUFFER_PTS(buffer);
  *end = GST_CLOCK_TIME_IS_VALID(*start) && GST_BUFFER_DURATION_IS_VALID(buffer) ? *start + GST_BUFFER_DURATION(buffer)
                                                                                 : GST_CLOCK_TIME_NONE;
}

gboolean srcStart(GstBaseSrc* src) {
  state(src).frame = 0;
  return TRUE;
}

GstFlowReturn srcCreate(GstPushSrc* src, GstBuffer** out) {
  SourceState& s = state(src);
  if (stateOf(s.path()) == CG_UVC_UNPLUGGED) {
    GST_ELEMENT_ERROR(src, RESOURCE, READ, ("Could not read from resource."), ("poll error 1: No such device (19)"));
    return GST_FLOW_ERROR;
  }
  if (s.width == 0) return GST_FLOW_NOT_NEGOTIATED;
  const int w = s.width, h = s.height, cw = w / 2, ch = h / 2;
  uint8_t* y = s.picture.data();
  uint8_t* u = y + w * h;
  uint8_t* v = u + cw * ch;
  std::copy(s.background.begin(), s.background.end(), s.picture.begin());
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  char text[48];
  const uint32_t number = static_cast<uint32_t>(++s.frame);
  std::snprintf(text, sizeof text, "%06u %02d:%02d:%02d.%03ld", number % 1000000u, local.tm_hour, local.tm_min,
                local.tm_sec, now.tv_nsec / 1000000);
  stampPicture(y, w, u, cw, v, cw, w, h, number, text);

  GstBuffer* buffer = nullptr;
  if (s.jpeg) {
    const unsigned long capacity = tjBufSize(w, h, TJSAMP_420);
    buffer = gst_buffer_new_allocate(nullptr, capacity, nullptr);
    GstMapInfo map;
    if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
      if (buffer) gst_buffer_unref(buffer);
      return GST_FLOW_ERROR;
    }
    unsigned char* dest = map.data;
    unsigned long size = capacity;
    const unsigned char* planes[3] = {y, u, v};
    const int strides[3] = {w, cw, cw};
    const int rc = tjCompressFromYUVPlanes(s.encoder, planes, w, strides, h, TJSAMP_420, &dest, &size, kJpegQuality,
                                           TJFLAG_NOREALLOC | TJFLAG_FASTDCT);
    gst_buffer_unmap(buffer, &map);
    if (rc != 0) {
      gst_buffer_unref(buffer);
      GST_ELEMENT_ERROR(src, STREAM, ENCODE, ("Could not encode the picture."), ("%s", tjGetErrorStr2(s.encoder)));
      return GST_FLOW_ERROR;
    }
    gst_buffer_set_size(buffer, static_cast<gssize>(size));
  } else {
    buffer = gst_buffer_new_allocate(nullptr, static_cast<gsize>(w) * h * 2, nullptr);
    GstMapInfo map;
    if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
      if (buffer) gst_buffer_unref(buffer);
      return GST_FLOW_ERROR;
    }
    libyuv::I420ToYUY2(y, w, u, cw, v, cw, map.data, w * 2, w, h);
    gst_buffer_unmap(buffer, &map);
  }
  const GstClockTime duration =
      gst_util_uint64_scale(GST_SECOND, static_cast<guint64>(s.fpsD), static_cast<guint64>(s.fpsN));
  GST_BUFFER_PTS(buffer) = (s.frame - 1) * duration;
  GST_BUFFER_DURATION(buffer) = duration;
  GST_BUFFER_OFFSET(buffer) = s.frame - 1;
  *out = buffer;
  return GST_FLOW_OK;
}

void uvc_emu_src_class_init(UvcEmuSrcClass* klass) {
  GObjectClass* object = G_OBJECT_CLASS(klass);
  object->set_property = srcSetProperty;
  object->get_property = srcGetProperty;
  object->finalize = srcFinalize;
  g_object_class_install_property(
      object, PROP_DEVICE,
      g_param_spec_string("device", "Device", "Device location", "/dev/video0",
                          static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  element->change_state = srcChangeState;
  gst_element_class_set_static_metadata(element, "Emulated UVC camera source", "Source/Video",
                                        "Streams an emulated UVC webcam as v4l2src streams a real one", "Selvane");
  GstCaps* caps = webcamCaps();
  gst_element_class_add_pad_template(element, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, caps));
  gst_caps_unref(caps);
  GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
  base->get_caps = srcGetCaps;
  base->set_caps = srcSetCaps;
  base->start = srcStart;
  base->get_times = srcGetTimes;
  GST_PUSH_SRC_CLASS(klass)->create = srcCreate;
}

void uvc_emu_src_init(UvcEmuSrc* self) {
  self->s = new SourceState;
  gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
  gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}

// --- Device and provider -------------------------------------------------------

struct UvcEmuDevice {
  GstDevice parent;
  gchar* path;
};
struct UvcEmuDeviceClass {
  GstDeviceClass parent_class;
};

G_DEFINE_TYPE(UvcEmuDevice, uvc_emu_device, GST_TYPE_DEVICE)

GstElement* deviceCreateElement(GstDevice* device, const gchar* name) {
  GstElement* element = gst_element_factory_make("uvcemusrc", name);
  if (element) g_object_set(element, "device", reinterpret_cast<UvcEmuDevice*>(device)->path, nullptr);
  return element;
}

gboolean deviceReconfigure(GstDevice* device, GstElement* element) {
  if (!G_TYPE_CHECK_INSTANCE_TYPE(element, uvc_emu_src_get_type())) return FALSE;
  g_object_set(element, "device", reinterpret_cast<UvcEmuDevice*>(device)->path, nullptr);
  return TRUE;
}

void deviceFinalize(GObject* object) {
  g_free(reinterpret_cast<UvcEmuDevice*>(object)->path);
  G_OBJECT_CLASS(uvc_emu_device_parent_class)->finalize(object);
}

void uvc_emu_device_class_init(UvcEmuDeviceClass* klass) {
  GST_DEVICE_CLASS(klass)->create_element = deviceCreateElement;
  GST_DEVICE_CLASS(klass)->reconfigure_element = deviceReconfigure;
  G_OBJECT_CLASS(klass)->finalize = deviceFinalize;
}

void uvc_emu_device_init(UvcEmuDevice*) {}

struct UvcEmuProvider {
  GstDeviceProvider parent;
};
struct UvcEmuProviderClass {
  GstDeviceProviderClass parent_class;
};

G_DEFINE_TYPE(UvcEmuProvider, uvc_emu_provider, GST_TYPE_DEVICE_PROVIDER)

// Both nodes of each camera, with the properties udev gives the V4L2
// provider. A metadata node opens but has no capture format: its caps are
// empty, as a provider that does not filter such nodes reports them.
GList* providerProbe(GstDeviceProvider*) {
  GList* devices = nullptr;
  for (const Node& n : nodes()) {
    if (n.state == CG_UVC_NO_PERMISSION) continue;  // the V4L2 provider skips what it cannot open
    const guint deviceCaps = (n.metadata ? kCapMetaCapture : kCapVideoCapture) | kCapStreaming | kCapExtPixFormat;
    GstStructure* props = gst_structure_new(
        "v4l2deviceprovider", "udev-probed", G_TYPE_BOOLEAN, TRUE, "device.bus_path", G_TYPE_STRING, n.busPath.c_str(),
        "sysfs.path", G_TYPE_STRING,
        ("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + n.busInfo.substr(n.busInfo.rfind('-') + 1) + "/video4linux/" +
         n.path.substr(5))
            .c_str(),
        "device.bus", G_TYPE_STRING, "usb", "device.subsystem", G_TYPE_STRING, "video4linux", "device.product.name",
        G_TYPE_STRING, n.name.c_str(), "device.api", G_TYPE_STRING, "v4l2", "device.path", G_TYPE_STRING,
        n.path.c_str(), "v4l2.device.driver", G_TYPE_STRING, "uvcvideo", "v4l2.device.card", G_TYPE_STRING,
        n.name.c_str(), "v4l2.device.bus_info", G_TYPE_STRING, n.busInfo.c_str(), "v4l2.device.version", G_TYPE_UINT,
        393728u, "v4l2.device.capabilities", G_TYPE_UINT,
        kCapVideoCapture | kCapMetaCapture | kCapStreaming | kCapExtPixFormat | kCapDeviceCaps,
        "v4l2.device.device_caps", G_TYPE_UINT, deviceCaps, nullptr);
    GstCaps* caps = n.metadata || n.state == CG_UVC_NO_FORMATS ? gst_caps_new_empty() : webcamCaps();
    auto* device =
        static_cast<UvcEmuDevice*>(g_object_new(uvc_emu_device_get_type(), "display-name", n.name.c_str(), "caps", caps,
                                                "device-class", "Video/Source", "properties", props, nullptr));
    device->path = g_strdup(n.path.c_str());
    gst_caps_unref(caps);
    gst_structure_free(props);
    devices = g_list_append(devices, gst_object_ref_sink(device));
  }
  return devices;
}

void uvc_emu_provider_class_init(UvcEmuProviderClass* klass) {
  GstDeviceProviderClass* provider = GST_DEVICE_PROVIDER_CLASS(klass);
  provider->probe = providerProbe;
  gst_device_provider_class_set_static_metadata(provider, "Emulated UVC Device Provider", "Source/Video",
                                                "Lists emulated UVC webcams as the V4L2 provider lists real ones",
                                                "Selvane");
}

void uvc_emu_provider_init(UvcEmuProvider*) {}

gboolean pluginInit(GstPlugin* plugin) {
  return gst_element_register(plugin, "uvcemusrc", GST_RANK_NONE, uvc_emu_src_get_type()) &&
         gst_device_provider_register(plugin, "uvcemudeviceprovider", GST_RANK_NONE, uvc_emu_provider_get_type());
}

}  // namespace

GstCaps* webcamCaps() {
  struct Size {
    int w, h, rawFps;
  };
  static const Size kSizes[] = {{640, 480, 30}, {160, 120, 30}, {176, 144, 30}, {320, 240, 30},
                                {352, 288, 30}, {640, 360, 30}, {800, 600, 20}, {1280, 720, 10}};
  GstCaps* caps = gst_caps_new_empty();
  for (const Size& z : kSizes)
    gst_caps_append_structure(
        caps, gst_structure_new("video/x-raw", "format", G_TYPE_STRING, "YUY2", "width", G_TYPE_INT, z.w, "height",
                                G_TYPE_INT, z.h, "framerate", GST_TYPE_FRACTION, z.rawFps, 1, nullptr));
  for (const Size& z : kSizes)
    gst_caps_append_structure(caps, gst_structure_new("image/jpeg", "width", G_TYPE_INT, z.w, "height", G_TYPE_INT, z.h,
                                                      "framerate", GST_TYPE_FRACTION, 30, 1, nullptr));
  return caps;
}

bool registerPlugin() {
  static const bool registered =
      gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "uvcemu", "Emulated UVC webcams", pluginInit,
                                 "1.0", "Proprietary", "selvane", "selvane", "selvane") == TRUE;
  return registered;
}

}  // namespace pl::capture::uvc
