#include "rendered_graph.h"

#include <gst/app/gstappsink.h>

#include <algorithm>
#include <climits>

#include "device_errors.h"
#include "frame_layout.h"
#include "grabber.h"
#include "gstreamer_init.h"
#include "platform/window.h"

namespace pl::capture {

namespace {

constexpr DWORD kInfinite = 0xFFFFFFFFu;

CG_STATE stateOf(GstState s) {
  if (s == GST_STATE_PLAYING) return CG_RUNNING;
  if (s == GST_STATE_PAUSED) return CG_PAUSED;
  return CG_STOPPED;
}

}  // namespace

// One appsink's consumer: the grabber or the video window.
struct RenderedGraph::Sink {
  Sink(RenderedGraph& o, const Capability& cap, GrabberState* g, VideoWindow* w)
      : owner(o), reader(cap), grabber(g), window(w) {}

  static GstFlowReturn onSample(GstAppSink* appsink, gpointer self) {
    static_cast<Sink*>(self)->consume(appsink);
    return GST_FLOW_OK;
  }

  void consume(GstAppSink* appsink) {
    GstSample* sample = gst_app_sink_pull_sample(appsink);
    if (!sample) return;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    size_t length = 0;
    if (const BYTE* bits = buffer ? reader.map(buffer, &length) : nullptr) {
      if (!owner.delivered_.exchange(true) && !owner.devicePath_.empty()) clearDeviceError(owner.devicePath_);
      if (grabber) {
        const GstClockTime pts = GST_BUFFER_PTS(buffer);
        const double time = GST_CLOCK_TIME_IS_VALID(pts) ? static_cast<double>(pts) / GST_SECOND : 0.0;
        grabber->deliver(time, const_cast<BYTE*>(bits), static_cast<LONG>(std::min<size_t>(length, INT_MAX)));
      } else {
        window->draw(bits);
      }
      reader.unmap();
    }
    gst_sample_unref(sample);
  }

  RenderedGraph& owner;
  DibReader reader;
  GrabberState* const grabber;
  VideoWindow* const window;
};

// Adds elements to the pipeline and links each to the one before.
class RenderedGraph::Builder {
 public:
  explicit Builder(GstElement* pipeline) : bin_(GST_BIN(pipeline)) {}

  bool ok() const { return ok_; }
  void continueFrom(GstElement* element) { last_ = element; }

  // Adds `element` (floating) and links it after the last one.
  GstElement* append(GstElement* element) {
    if (!element) ok_ = false;
    if (!ok_) {
      if (element) gst_object_unref(gst_object_ref_sink(element));
      return nullptr;
    }
    if (!gst_bin_add(bin_, element)) {
      ok_ = false;
      return nullptr;
    }
    if (last_ && !gst_element_link(last_, element)) ok_ = false;
    last_ = element;
    return ok_ ? element : nullptr;
  }
  GstElement* append(const char* factory) { return ok_ ? append(gst_element_factory_make(factory, nullptr)) : nullptr; }
  GstElement* appendCaps(const std::string& text) {
    GstElement* filter = ok_ ? gst_element_factory_make("capsfilter", nullptr) : nullptr;
    CapsPtr caps(gst_caps_from_string(text.c_str()));
    if (filter && caps) g_object_set(filter, "caps", caps.get(), nullptr);
    if (filter && !caps) {
      gst_object_unref(gst_object_ref_sink(filter));
      filter = nullptr;
    }
    return append(filter);
  }
  GstElement* appendSink(Sink* sink, bool latestOnly) {
    GstElement* element = append("appsink");
    if (!element) return nullptr;
    g_object_set(element, "sync", FALSE, "async", FALSE, "qos", FALSE, "enable-last-sample", FALSE, "max-buffers",
                 latestOnly ? 1u : 0u, "drop", latestOnly ? TRUE : FALSE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &Sink::onSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(element), &callbacks, sink, nullptr);
    return element;
  }

 private:
  GstBin* bin_;
  GstElement* last_ = nullptr;
  bool ok_ = true;
};

RenderedGraph::RenderedGraph(const CG_FILTER& source, const Ref<CG_FILTER>& grabber)
    : source_(&source), grabber_(grabber), devicePath_(source.device->devicePath) {}

HRESULT RenderedGraph::build(const CG_FILTER& source, const Ref<CG_FILTER>& grabber,
                             std::unique_ptr<RenderedGraph>* out) {
  const Capability* format = source.format();
  if (!format || !ensureGstreamer()) return VFW_E_CANNOT_CONNECT;
  if (source.offered && !format->sourceCaps.empty()) {
    // The camera must still offer the native format this one comes from.
    CapsPtr wanted(gst_caps_from_string(format->sourceCaps.c_str()));
    if (!wanted || !gst_caps_can_intersect(wanted.get(), source.offered.get())) return VFW_E_CANNOT_CONNECT;
  }
  std::unique_ptr<RenderedGraph> g(new RenderedGraph(source, grabber));
  g->pipeline_ = adoptFloating(gst_pipeline_new(nullptr));
  if (!g->pipeline_) return VFW_E_CANNOT_CONNECT;
  Builder chain(g->pipeline_.get());
  g->appendSource(chain, *source.device, *format);
  appendConversion(chain, *format);
  g->appendSinks(chain, *format);
  if (!chain.ok()) return VFW_E_CANNOT_CONNECT;

  GstPtr<GstBus> bus(gst_element_get_bus(g->pipeline_.get()));
  gst_bus_set_sync_handler(bus.get(), &RenderedGraph::onBusMessage, g.get(), nullptr);
  *out = std::move(g);
  return S_OK;
}

// The source element and the native format asked of it.
void RenderedGraph::appendSource(Builder& chain, const DeviceInfo& device, const Capability& cap) {
  if (!device.virtualCamera) {
    chain.append(gst_device_create_element(device.device.get(), nullptr));
    chain.appendCaps(cap.sourceCaps);
    return;
  }
  if (GstElement* src = chain.append("videotestsrc")) {
    g_object_set(src, "is-live", TRUE, "horizontal-speed", 2, nullptr);
    gst_util_set_object_arg(G_OBJECT(src), "pattern", "smpte");
    const bool deliver = (device.virtualCamera->faults & CG_VCAM_NO_FRAMES) == 0;
    stamp_ = std::make_unique<FrameStamp>(cap.width, cap.height, deliver);
    GstPtr<GstPad> pad(gst_element_get_static_pad(src, "src"));
    gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, &FrameStamp::probe, stamp_.get(), nullptr);
  }
  chain.appendCaps("video/x-raw,format=I420,width=" + std::to_string(cap.width) +
                   ",height=" + std::to_string(cap.height) +
                   ",framerate=" + std::to_string(device.virtualCamera->framesPerSecond) + "/1");
}

// From the native format to the format in force; RGB rows end bottom-up.
void RenderedGraph::appendConversion(Builder& chain, const Capability& cap) {
  if (cap.compression != kFourccMjpg) {
    if (cap.sourceIsJpeg) chain.append("jpegdec");
    chain.append("videoconvert");
  }
  chain.appendCaps(targetCaps(cap));
  if (cap.compression == BI_RGB) {
    if (GstElement* flip = chain.append("videoflip"))
      gst_util_set_object_arg(G_OBJECT(flip), "video-direction", "vert");
  }
}

// The grabber's branch (every frame) and the renderer's (the latest frame,
// in a drawable format).
void RenderedGraph::appendSinks(Builder& chain, const Capability& cap) {
  const Capability drawn = drawable(cap) ? cap : planarOf(cap);
  window_ = std::make_unique<VideoWindow>(drawn);
  if (grabber_) {
    GstElement* tee = chain.append("tee");
    chain.append("queue");
    sinks_.push_back(std::make_unique<Sink>(*this, cap, grabber_->grabber.get(), nullptr));
    chain.appendSink(sinks_.back().get(), false);
    chain.continueFrom(tee);
  }
  if (GstElement* queue = chain.append("queue")) {
    gst_util_set_object_arg(G_OBJECT(queue), "leaky", "downstream");
    g_object_set(queue, "max-size-buffers", 1u, "max-size-bytes", 0u, "max-size-time", guint64{0}, nullptr);
  }
  if (!drawable(cap)) {
    if (cap.compression == kFourccMjpg) chain.append("jpegdec");
    chain.append("videoconvert");
    chain.appendCaps(targetCaps(drawn));
  }
  sinks_.push_back(std::make_unique<Sink>(*this, drawn, nullptr, window_.get()));
  chain.appendSink(sinks_.back().get(), true);
}

RenderedGraph::~RenderedGraph() {
  if (!pipeline_) return;
  gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
  GstPtr<GstBus> bus(gst_element_get_bus(pipeline_.get()));
  gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
  pipeline_.reset();  // before the sinks and the stamp its elements call
}

// Messages are handled as they are posted, so none pile up on the bus of a
// graph that runs for hours. A dropped message is the handler's to unref.
// The first error of a run is the camera's own word (those that follow say
// that streaming stopped); a UI thread waiting for frames looks at once.
GstBusSyncReply RenderedGraph::onBusMessage(GstBus*, GstMessage* message, gpointer self) {
  auto* graph = static_cast<RenderedGraph*>(self);
  if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR && !graph->failed_.exchange(true)) {
    reportDeviceError(graph->devicePath_, message);
    pl_WakeUiThread();
  }
  gst_message_unref(message);
  return GST_BUS_DROP;
}

HRESULT RenderedGraph::run() {
  GstState current = GST_STATE_VOID_PENDING;
  gst_element_get_state(pipeline_.get(), &current, nullptr, 0);
  if (current != GST_STATE_PLAYING && current != GST_STATE_PAUSED) {
    // A new run: frames count from 1 again.
    failed_.store(false);
    delivered_.store(false);
    if (stamp_) stamp_->restart();
    if (grabber_) grabber_->grabber->rearm();
  }
  switch (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING)) {
    case GST_STATE_CHANGE_FAILURE: gst_element_set_state(pipeline_.get(), GST_STATE_NULL); return E_FAIL;
    case GST_STATE_CHANGE_ASYNC: return S_FALSE;
    default: return S_OK;
  }
}

HRESULT RenderedGraph::stop() {
  const bool stopped = gst_element_set_state(pipeline_.get(), GST_STATE_NULL) != GST_STATE_CHANGE_FAILURE;
  failed_.store(false);
  return stopped ? S_OK : E_FAIL;
}

HRESULT RenderedGraph::state(DWORD ms, CG_STATE* out) {
  if (failed_.load()) return E_FAIL;
  const GstClockTime timeout = ms == kInfinite ? GST_CLOCK_TIME_NONE : GstClockTime{ms} * GST_MSECOND;
  GstState current = GST_STATE_VOID_PENDING, pending = GST_STATE_VOID_PENDING;
  switch (gst_element_get_state(pipeline_.get(), &current, &pending, timeout)) {
    case GST_STATE_CHANGE_FAILURE: return E_FAIL;
    case GST_STATE_CHANGE_ASYNC:
      *out = stateOf(pending != GST_STATE_VOID_PENDING ? pending : current);
      return VFW_S_STATE_INTERMEDIATE;
    default: *out = stateOf(current); return S_OK;
  }
}

}  // namespace pl::capture

// The graph object owns its rendered pipeline, so its lifetime is defined
// beside the pipeline's.
CG_GRAPH::CG_GRAPH() : Object(kKind) {}

CG_GRAPH::~CG_GRAPH() {
  unrender();
  for (auto& f : filters) f->graph = nullptr;
}

void CG_GRAPH::unrender() { rendered.reset(); }
