// One capture cycle through the capture graph service, as the capture
// control makes it (bind, build the graph with a grabber, run until the 6th
// buffer, stop, release), beside its floor: a bare GStreamer pipeline
// (videotestsrc is-live ! appsink) that is built, passes the same 6 frames of
// 640 x 480 I420 and is torn down. At 30 frames per second both are mostly
// waiting for frames; the 240 frames per second runs show the fixed cost.
//
// BM_UvcMjpegCycle is the same cycle on an emulated UVC webcam sending MJPG
// at 1280 x 720 (decoded to I420 on the way), beside a bare pipeline that
// passes and decodes the same frames (uvcemusrc ! image/jpeg ! jpegdec !
// appsink), run interleaved; "ratio" is cycle time over floor time (goal
// at most 1.15).
#include <benchmark/benchmark.h>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>

#include "bare_pipeline.h"
#include "camera/testing.h"

namespace {

using bench::FrameCount;

extern const ISampleGrabberCBVtbl kGrabberVtbl;

// The grabber callback: counts the buffers it is given.
struct Grabber : ISampleGrabberCB {
  Grabber() : ISampleGrabberCB{&kGrabberVtbl} {}
  FrameCount count;
};
ULONG noCount(ISampleGrabberCB*) { return 1; }
HRESULT noInterface(ISampleGrabberCB*, REFIID, void**) { return E_NOINTERFACE; }
HRESULT noSample(ISampleGrabberCB*, double, void*) { return E_NOTIMPL; }
HRESULT buffer(ISampleGrabberCB* self, double, BYTE*, LONG) {
  static_cast<Grabber*>(self)->count.add();
  return S_OK;
}
const ISampleGrabberCBVtbl kGrabberVtbl = {noInterface, noCount, noCount, noSample, buffer};

using Clock = std::chrono::steady_clock;

// Sets the first capability of this size and compression; false when none.
bool selectFormat(CG_STREAMCONFIG* config, LONG width, LONG height, DWORD compression) {
  int count = 0, size = 0;
  cg_StreamConfigGetNumberOfCapabilities(config, &count, &size);
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* mt = nullptr;
    BYTE record[128];
    if (cg_StreamConfigGetStreamCaps(config, i, &mt, record) != S_OK) continue;
    VIDEOINFOHEADER vih;
    std::memcpy(&vih, mt->pbFormat, sizeof vih);
    const bool match = vih.bmiHeader.biWidth == width && vih.bmiHeader.biHeight == height &&
                       vih.bmiHeader.biCompression == compression;
    if (match) cg_StreamConfigSetFormat(config, mt);
    DeleteMediaType(mt);
    if (match) return true;
  }
  return false;
}

// One cycle as the capture control makes it, in the given format (0 x 0: the
// first capability). False when the frames did not come.
bool captureCycle(CG_DEVICE* device, Grabber& cb, LONG width = 0, LONG height = 0, DWORD compression = 0) {
  cb.count.reset();
  CG_FILTER* source = nullptr;
  CG_GRAPH* graph = nullptr;
  CG_BUILDER* builder = nullptr;
  CG_FILTER* grabber = nullptr;
  CG_STREAMCONFIG* config = nullptr;
  if (cg_DeviceBindSource(device, &source) != S_OK) return false;
  cg_CreateFilterGraph(&graph);
  cg_GraphAddFilter(graph, source, "Video Capture");
  cg_CreateCaptureGraphBuilder(&builder);
  cg_BuilderSetFiltergraph(builder, graph);
  cg_BuilderFindStreamConfig(builder, source, &config);
  bool ok = true;
  if (width == 0) {
    AM_MEDIA_TYPE* mt = nullptr;
    BYTE record[128];
    cg_StreamConfigGetStreamCaps(config, 0, &mt, record);
    cg_StreamConfigSetFormat(config, mt);
    DeleteMediaType(mt);
  } else {
    ok = selectFormat(config, width, height, compression);
  }
  cg_StreamConfigRelease(config);
  cg_CreateSampleGrabber(&grabber);
  cg_GraphAddFilter(graph, grabber, "SampleGrab");
  cg_GrabberSetCallback(grabber, &cb, 1);
  ok = ok && cg_BuilderRenderStream(builder, source, grabber) == S_OK;
  ok = ok && cg_GraphRun(graph) == S_OK && cb.count.wait();
  cg_GraphStop(graph);
  cg_GrabberSetCallback(grabber, nullptr, 1);
  cg_FilterRelease(grabber);
  cg_GraphRemoveFilter(graph, source);
  cg_FilterRelease(source);
  cg_BuilderRelease(builder);
  cg_GraphRelease(graph);
  return ok;
}

CG_DEVICE* firstDevice() {
  CG_DEVENUM* e = nullptr;
  CG_DEVICE* device = nullptr;
  cg_CreateDeviceEnumerator(&e);
  cg_DeviceEnumNext(e, &device);
  cg_DeviceEnumRelease(e);
  return device;
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void BM_UvcMjpegCycle(benchmark::State& state) {
  const CG_UVC_SPEC spec{"Bench UVC", 1};
  cg_SetUvcCameras(&spec, 1);
  CG_DEVICE* device = firstDevice();
  Grabber cb;
  const std::string floor =
      "uvcemusrc device=/dev/video0 ! image/jpeg,width=1280,height=720 ! jpegdec ! appsink name=sink";
  // First graphs and plugin loading.
  captureCycle(device, cb, 1280, 720, FOURCC_I420);
  bench::runBareLaunch(floor);
  double cycles = 0, floors = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    const bool bare = bench::runBareLaunch(floor);
    const double f = secondsSince(start);
    start = Clock::now();
    const bool ok = captureCycle(device, cb, 1280, 720, FOURCC_I420);
    const double c = secondsSince(start);
    if (!ok || !bare) {
      state.SkipWithError(ok ? "the bare pipeline passed no frames" : "the capture cycle failed");
      break;
    }
    state.SetIterationTime(c);
    cycles += c;
    floors += f;
  }
  if (floors > 0) {
    state.counters["floor_ms"] = 1000.0 * floors / static_cast<double>(state.iterations());
    state.counters["ratio"] = cycles / floors;
  }
  cg_DeviceRelease(device);
  cg_SetUvcCameras(nullptr, 0);
}

void BM_CaptureCycle(benchmark::State& state) {
  const CG_VCAM_CAP cap{640, 480, FOURCC_I420, 12};
  const CG_VCAM_SPEC spec{"Bench", &cap, 1, static_cast<int>(state.range(0)), 0};
  cg_SetVirtualCameras(&spec, 1);
  CG_DEVICE* device = firstDevice();
  Grabber cb;
  for (auto _ : state) {
    if (!captureCycle(device, cb)) state.SkipWithError("no frames");
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
BENCHMARK(BM_UvcMjpegCycle)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK_MAIN();
