// One capture cycle through the capture graph service, as the capture
// control makes it (bind, build the graph with a grabber, run until the 6th
// buffer, stop, release), beside its floor: a bare GStreamer pipeline
// (videotestsrc is-live ! appsink) that is built, passes the same 6 frames of
// 640 x 480 I420 and is torn down. At 30 frames per second both are mostly
// waiting for frames; the 240 frames per second runs show the fixed cost.
#include <benchmark/benchmark.h>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/capture.h"

namespace {

constexpr int kFrames = 6;

// Counts delivered frames and wakes the waiting benchmark at the 6th.
struct FrameCount {
  std::mutex mutex;
  std::condition_variable done;
  int frames = 0;

  void reset() {
    std::lock_guard lock(mutex);
    frames = 0;
  }
  void add() {
    std::lock_guard lock(mutex);
    if (++frames == kFrames) done.notify_all();
  }
  bool wait() {
    std::unique_lock lock(mutex);
    return done.wait_for(lock, std::chrono::seconds(5), [&] { return frames >= kFrames; });
  }
};

struct Grabber : ISampleGrabberCB {
  FrameCount* count;
};
ULONG noCount(ISampleGrabberCB*) { return 1; }
HRESULT noInterface(ISampleGrabberCB*, REFIID, void**) { return E_NOINTERFACE; }
HRESULT noSample(ISampleGrabberCB*, double, void*) { return E_NOTIMPL; }
HRESULT buffer(ISampleGrabberCB* self, double, BYTE*, LONG) {
  static_cast<Grabber*>(self)->count->add();
  return S_OK;
}
const ISampleGrabberCBVtbl kGrabberVtbl = {noInterface, noCount, noCount, noSample, buffer};

void BM_CaptureCycle(benchmark::State& state) {
  const CG_VCAM_CAP cap{640, 480, FOURCC_I420, 12};
  const CG_VCAM_SPEC spec{"Bench", &cap, 1, static_cast<int>(state.range(0)), 0};
  cg_SetVirtualCameras(&spec, 1);
  CG_DEVENUM* e = nullptr;
  CG_DEVICE* device = nullptr;
  cg_CreateDeviceEnumerator(&e);
  cg_DeviceEnumNext(e, &device);
  cg_DeviceEnumRelease(e);
  FrameCount count;
  Grabber cb;
  cb.lpVtbl = &kGrabberVtbl;
  cb.count = &count;
  for (auto _ : state) {
    count.reset();
    CG_FILTER* source = nullptr;
    CG_GRAPH* graph = nullptr;
    CG_BUILDER* builder = nullptr;
    CG_FILTER* grabber = nullptr;
    CG_STREAMCONFIG* config = nullptr;
    cg_DeviceBindSource(device, &source);
    cg_CreateFilterGraph(&graph);
    cg_GraphAddFilter(graph, source, "Video Capture");
    cg_CreateCaptureGraphBuilder(&builder);
    cg_BuilderSetFiltergraph(builder, graph);
    cg_BuilderFindStreamConfig(builder, source, &config);
    AM_MEDIA_TYPE* mt = nullptr;
    BYTE record[128];
    cg_StreamConfigGetStreamCaps(config, 0, &mt, record);
    cg_StreamConfigSetFormat(config, mt);
    DeleteMediaType(mt);
    cg_StreamConfigRelease(config);
    cg_CreateSampleGrabber(&grabber);
    cg_GraphAddFilter(graph, grabber, "SampleGrab");
    cg_GrabberSetCallback(grabber, &cb, 1);
    cg_BuilderRenderStream(builder, source, grabber);
    if (cg_GraphRun(graph) != S_OK || !count.wait()) state.SkipWithError("no frames");
    cg_GraphStop(graph);
    cg_GrabberSetCallback(grabber, nullptr, 1);
    cg_FilterRelease(grabber);
    cg_GraphRemoveFilter(graph, source);
    cg_FilterRelease(source);
    cg_BuilderRelease(builder);
    cg_GraphRelease(graph);
  }
  cg_DeviceRelease(device);
  cg_SetVirtualCameras(nullptr, 0);
}

GstFlowReturn onSample(GstAppSink* sink, gpointer count) {
  if (GstSample* sample = gst_app_sink_pull_sample(sink)) gst_sample_unref(sample);
  static_cast<FrameCount*>(count)->add();
  return GST_FLOW_OK;
}

void BM_BarePipeline(benchmark::State& state) {
  gst_init(nullptr, nullptr);
  const std::string caps =
      "video/x-raw,format=I420,width=640,height=480,framerate=" + std::to_string(state.range(0)) + "/1";
  FrameCount count;
  for (auto _ : state) {
    count.reset();
    GstElement* pipeline = gst_pipeline_new(nullptr);
    GstElement* src = gst_element_factory_make("videotestsrc", nullptr);
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    g_object_set(src, "is-live", TRUE, nullptr);
    GstCaps* c = gst_caps_from_string(caps.c_str());
    g_object_set(filter, "caps", c, nullptr);
    gst_caps_unref(c);
    g_object_set(sink, "sync", FALSE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = onSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, &count, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), src, filter, sink, nullptr);
    gst_element_link_many(src, filter, sink, nullptr);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    if (!count.wait()) state.SkipWithError("no frames");
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
  }
}

}  // namespace

BENCHMARK(BM_CaptureCycle)->Arg(30)->Arg(240)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_BarePipeline)->Arg(30)->Arg(240)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK_MAIN();
