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

#include <string>

#include "bare_pipeline.h"
#include "camera/testing.h"
#include "testkit/capture_graph.h"
#include "testkit/process.h"

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

using testkit::Clock;
using testkit::secondsSince;

// One cycle as the capture control makes it, in the given format. False when
// the frames did not come.
bool captureCycle(CG_DEVICE* device, Grabber& cb, LONG width, LONG height, DWORD compression) {
  cb.count.reset();
  testkit::CaptureGraph g(device);
  return g.select(width, height, compression) && g.renderThrough(&cb) == S_OK && g.run() == S_OK && cb.count.wait();
}

void BM_UvcMjpegCycle(benchmark::State& state) {
  const CG_UVC_SPEC spec{"Bench UVC", 1};
  cg_SetUvcCameras(&spec, 1);
  CG_DEVICE* device = testkit::deviceAt(0);
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
  CG_DEVICE* device = testkit::deviceAt(0);
  Grabber cb;
  for (auto _ : state) {
    if (!captureCycle(device, cb, 640, 480, FOURCC_I420)) state.SkipWithError("no frames");
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
