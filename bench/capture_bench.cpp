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

#include "bare_pipeline.h"
#include "platform/capture.h"

namespace {

using bench::FrameCount;

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

void BM_BarePipeline(benchmark::State& state) {
  for (auto _ : state) {
    if (!bench::runBarePipeline(static_cast<int>(state.range(0)))) state.SkipWithError("no frames");
  }
}

}  // namespace

BENCHMARK(BM_CaptureCycle)->Arg(30)->Arg(240)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_BarePipeline)->Arg(30)->Arg(240)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK_MAIN();
