// A capture graph of one device, built and torn down the way the capture
// control does it (bind, graph with the source, builder, format, grabber,
// render), with a grabber callback that logs every frame: used by the capture
// graph tests and the capture benchmark. Needs camera_testing. The graph is
// the test thread's; FrameLog's callback runs on the streaming thread.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "camera/testing.h"

namespace testkit {

// Reads the counter strip that virtual cameras stamp into a frame laid out as
// a DIB (I420/IYUV and YUY2 top row first, RGB bottom row first).
inline uint32_t frameCounter(const BYTE* bits, const BITMAPINFOHEADER& f) {
  const int w = f.biWidth, h = f.biHeight;
  const bool rgb = f.biCompression == BI_RGB;
  const bool planar = f.biCompression == FOURCC_I420 || f.biCompression == FOURCC_IYUV;
  // Bytes per pixel of the sampled plane: luma of a planar frame, Y0 U Y1 V pairs, RGB.
  const size_t pixel = planar ? 1u : f.biBitCount / 8u;
  // Planes are tight; packed rows are padded to 4 bytes.
  const size_t stride = planar ? static_cast<size_t>(w) : (static_cast<size_t>(w) * f.biBitCount + 31) / 32 * 4;
  const int perRow = w / 8;
  uint32_t value = 0;
  for (int bit = 0; bit < 32; ++bit) {
    const int x = (bit % perRow) * 8 + 4, y = (bit / perRow) * 8 + 4;
    const size_t row = rgb ? static_cast<size_t>(h - 1 - y) : static_cast<size_t>(y);
    // Luma, or green for RGB (blue and red are equal to it on the grey strip).
    const BYTE sample = bits[row * stride + static_cast<size_t>(x) * pixel + (rgb ? 1 : 0)];
    value = (value << 1) | (sample > 128 ? 1u : 0u);
  }
  return value;
}

inline VIDEOINFOHEADER videoInfoOf(const AM_MEDIA_TYPE* mt) {
  VIDEOINFOHEADER vih;
  std::memcpy(&vih, mt->pbFormat, sizeof vih);
  return vih;
}

// Device `index` of a fresh enumeration (a reference of the caller's), or nullptr.
inline CG_DEVICE* deviceAt(int index) {
  CG_DEVENUM* e = nullptr;
  if (cg_CreateDeviceEnumerator(&e) != S_OK) return nullptr;
  CG_DEVICE* device = nullptr;
  for (int i = 0; i <= index; ++i) {
    cg_DeviceRelease(device);
    device = nullptr;
    if (cg_DeviceEnumNext(e, &device) != S_OK) break;
  }
  cg_DeviceEnumRelease(e);
  return device;
}

// A grabber callback that records every frame it is given.
class FrameLog {
 public:
  struct Entry {
    LONG length;
    uint32_t counter;
    double time;
  };
  FrameLog() { cb_.log = this; }
  ISampleGrabberCB* callback() { return &cb_; }
  // The format frames arrive in, for reading their counters.
  void setFormat(const BITMAPINFOHEADER& format) {
    std::lock_guard lock(mutex_);
    format_ = format;
  }
  // Each call sleeps this long (a slow consumer).
  void setDelay(int ms) { delayMs_ = ms; }

  bool waitFor(size_t frames, int ms) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return entries_.size() >= frames; });
  }
  std::vector<Entry> entries() {
    std::lock_guard lock(mutex_);
    return entries_;
  }
  std::vector<BYTE> lastFrame() {
    std::lock_guard lock(mutex_);
    return last_;
  }
  bool inCallback() const { return inCallback_.load(); }
  int refs() const { return refs_.load(); }

 private:
  struct Callback : ISampleGrabberCB {
    Callback() : ISampleGrabberCB{&kVtbl} {}
    FrameLog* log = nullptr;
  };
  static FrameLog* of(ISampleGrabberCB* self) { return static_cast<Callback*>(self)->log; }
  static HRESULT queryInterface(ISampleGrabberCB*, REFIID, void** out) {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  static ULONG addRef(ISampleGrabberCB* self) { return static_cast<ULONG>(++of(self)->refs_); }
  static ULONG release(ISampleGrabberCB* self) { return static_cast<ULONG>(--of(self)->refs_); }
  static HRESULT sampleCb(ISampleGrabberCB*, double, void*) { return E_NOTIMPL; }
  static HRESULT bufferCb(ISampleGrabberCB* self, double time, BYTE* buffer, LONG length) {
    FrameLog* log = of(self);
    log->inCallback_.store(true);
    if (const int ms = log->delayMs_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    {
      std::lock_guard lock(log->mutex_);
      const bool known = log->format_.biWidth > 0 && length >= static_cast<LONG>(log->format_.biSizeImage);
      log->entries_.push_back({length, known ? frameCounter(buffer, log->format_) : 0u, time});
      log->last_.assign(buffer, buffer + length);
    }
    log->arrived_.notify_all();
    log->inCallback_.store(false);
    return S_OK;
  }
  static constexpr ISampleGrabberCBVtbl kVtbl = {queryInterface, addRef, release, sampleCb, bufferCb};

  Callback cb_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  BITMAPINFOHEADER format_{};
  std::vector<Entry> entries_;
  std::vector<BYTE> last_;
  std::atomic<int> delayMs_{0};
  std::atomic<bool> inCallback_{false};
  std::atomic<int> refs_{0};
};

class CaptureGraph {
 public:
  // Device `deviceIndex` of a fresh enumeration.
  explicit CaptureGraph(int deviceIndex) : device(deviceAt(deviceIndex)) { build(); }
  // A device already listed, bound anew (the graph takes its own reference).
  explicit CaptureGraph(CG_DEVICE* listed) : device(listed) {
    if (device) cg_DeviceAddRef(device);
    build();
  }
  ~CaptureGraph() {
    // The capture control's order of teardown.
    cg_GraphStop(graph);
    cg_VideoWindowSetVisible(graph, FALSE);
    cg_VideoWindowSetOwner(graph, 0);
    cg_GrabberSetCallback(grabber, nullptr, 1);
    cg_FilterRelease(grabber);
    cg_GraphRemoveFilter(graph, source);
    cg_FilterRelease(source);
    cg_BuilderRelease(builder);
    cg_GraphRelease(graph);
    cg_DeviceRelease(device);
  }
  CaptureGraph(const CaptureGraph&) = delete;
  CaptureGraph& operator=(const CaptureGraph&) = delete;

  // Sets the first capability of this size and compression (and bit count,
  // when not 0) as the format; false when there is none.
  bool select(LONG width, LONG height, DWORD compression, WORD bitCount = 0) {
    CG_STREAMCONFIG* sc = nullptr;
    if (cg_BuilderFindStreamConfig(builder, source, &sc) != S_OK) return false;
    int count = 0, size = 0;
    bool found = false;
    if (cg_StreamConfigGetNumberOfCapabilities(sc, &count, &size) == S_OK && size == 128) {
      for (int i = 0; i < count && !found; ++i) {
        AM_MEDIA_TYPE* mt = nullptr;
        BYTE caps[128];
        if (cg_StreamConfigGetStreamCaps(sc, i, &mt, caps) != S_OK) continue;
        const BITMAPINFOHEADER h = videoInfoOf(mt).bmiHeader;
        if (h.biWidth == width && h.biHeight == height && h.biCompression == compression &&
            (bitCount == 0 || h.biBitCount == bitCount))
          found = cg_StreamConfigSetFormat(sc, mt) == S_OK;
        DeleteMediaType(mt);
      }
    }
    AM_MEDIA_TYPE* current = nullptr;
    if (cg_StreamConfigGetFormat(sc, &current) == S_OK) {
      format = videoInfoOf(current).bmiHeader;
      log.setFormat(format);
    }
    DeleteMediaType(current);
    cg_StreamConfigRelease(sc);
    return found;
  }
  // Renders the stream, through a grabber logging into `log` when asked.
  HRESULT render(bool withGrabber) {
    return withGrabber ? renderThrough(log.callback()) : cg_BuilderRenderStream(builder, source, nullptr);
  }
  // Renders the stream through a grabber calling `callback`.
  HRESULT renderThrough(ISampleGrabberCB* callback) {
    if (cg_CreateSampleGrabber(&grabber) != S_OK) return E_FAIL;
    cg_GraphAddFilter(graph, grabber, "SampleGrab");
    cg_GrabberSetOneShot(grabber, FALSE);
    cg_GrabberSetBufferSamples(grabber, FALSE);
    cg_GrabberSetCallback(grabber, callback, 1);
    return cg_BuilderRenderStream(builder, source, grabber);
  }
  HRESULT run() { return cg_GraphRun(graph); }
  CG_STATE state(HRESULT* hr = nullptr, DWORD ms = 2000) {
    CG_STATE s = CG_PAUSED;
    const HRESULT result = cg_GraphGetState(graph, ms, &s);
    if (hr) *hr = result;
    return s;
  }

  CG_DEVICE* device = nullptr;
  HRESULT bound = E_POINTER;  // what binding the device's source gave
  CG_FILTER* source = nullptr;
  CG_GRAPH* graph = nullptr;
  CG_BUILDER* builder = nullptr;
  CG_FILTER* grabber = nullptr;
  BITMAPINFOHEADER format{};  // the format in force after select()/render()
  FrameLog log;

 private:
  void build() {
    if (!device || (bound = cg_DeviceBindSource(device, &source)) != S_OK) return;
    cg_CreateFilterGraph(&graph);
    cg_GraphAddFilter(graph, source, "Video Capture");
    cg_CreateCaptureGraphBuilder(&builder);
    cg_BuilderSetFiltergraph(builder, graph);
  }
};

}  // namespace testkit
