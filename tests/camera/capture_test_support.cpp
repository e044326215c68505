#include "capture_test_support.h"

#include <unistd.h>

#include <QString>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

uint32_t frameCounter(const BYTE* bits, const BITMAPINFOHEADER& f) {
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

std::vector<std::string> deviceNames() {
  std::vector<std::string> names;
  CG_DEVENUM* e = nullptr;
  if (cg_CreateDeviceEnumerator(&e) != S_OK) return names;
  CG_DEVICE* d = nullptr;
  while (cg_DeviceEnumNext(e, &d) == S_OK) {
    uint16_t name[256];
    const int n = cg_DeviceFriendlyName(d, name, 256);
    names.push_back(n < 0 ? "<no name>" : QString::fromUtf16(reinterpret_cast<const char16_t*>(name), n).toStdString());
    cg_DeviceRelease(d);
  }
  cg_DeviceEnumRelease(e);
  return names;
}

// --- FrameLog ---------------------------------------------------------------

const ISampleGrabberCBVtbl FrameLog::kVtbl = {&FrameLog::queryInterface, &FrameLog::addRef, &FrameLog::release,
                                              &FrameLog::sampleCb, &FrameLog::bufferCb};

FrameLog::FrameLog() {
  cb_.lpVtbl = &kVtbl;
  cb_.log = this;
}

HRESULT FrameLog::queryInterface(ISampleGrabberCB*, REFIID, void** out) {
  if (out) *out = nullptr;
  return E_NOINTERFACE;
}
ULONG FrameLog::addRef(ISampleGrabberCB* self) { return static_cast<ULONG>(++of(self)->refs_); }
ULONG FrameLog::release(ISampleGrabberCB* self) { return static_cast<ULONG>(--of(self)->refs_); }
HRESULT FrameLog::sampleCb(ISampleGrabberCB*, double, void*) { return E_NOTIMPL; }

HRESULT FrameLog::bufferCb(ISampleGrabberCB* self, double time, BYTE* buffer, LONG length) {
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

void FrameLog::setFormat(const BITMAPINFOHEADER& format) {
  std::lock_guard lock(mutex_);
  format_ = format;
}

bool FrameLog::waitFor(size_t frames, int ms) {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return entries_.size() >= frames; });
}

std::vector<FrameLog::Entry> FrameLog::entries() {
  std::lock_guard lock(mutex_);
  return entries_;
}

std::vector<BYTE> FrameLog::lastFrame() {
  std::lock_guard lock(mutex_);
  return last_;
}

// --- TestGraph --------------------------------------------------------------

TestGraph::TestGraph(int deviceIndex) {
  CG_DEVENUM* e = nullptr;
  if (cg_CreateDeviceEnumerator(&e) != S_OK) return;
  for (int i = 0; i <= deviceIndex; ++i) {
    if (device) cg_DeviceRelease(device);
    device = nullptr;
    if (cg_DeviceEnumNext(e, &device) != S_OK) break;
  }
  cg_DeviceEnumRelease(e);
  if (!device || cg_DeviceBindSource(device, &source) != S_OK) return;
  cg_CreateFilterGraph(&graph);
  cg_GraphAddFilter(graph, source, "Video Capture");
  cg_CreateCaptureGraphBuilder(&builder);
  cg_BuilderSetFiltergraph(builder, graph);
}

TestGraph::~TestGraph() {
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

bool TestGraph::select(LONG width, LONG height, DWORD compression, WORD bitCount) {
  CG_STREAMCONFIG* sc = nullptr;
  if (cg_BuilderFindStreamConfig(builder, source, &sc) != S_OK) return false;
  int count = 0, size = 0;
  bool found = false;
  if (cg_StreamConfigGetNumberOfCapabilities(sc, &count, &size) == S_OK && size == 128) {
    for (int i = 0; i < count && !found; ++i) {
      AM_MEDIA_TYPE* mt = nullptr;
      BYTE caps[128];
      if (cg_StreamConfigGetStreamCaps(sc, i, &mt, caps) != S_OK) continue;
      VIDEOINFOHEADER vih;
      std::memcpy(&vih, mt->pbFormat, sizeof vih);
      const BITMAPINFOHEADER& h = vih.bmiHeader;
      if (h.biWidth == width && h.biHeight == height && h.biCompression == compression &&
          (bitCount == 0 || h.biBitCount == bitCount))
        found = cg_StreamConfigSetFormat(sc, mt) == S_OK;
      DeleteMediaType(mt);
    }
  }
  AM_MEDIA_TYPE* current = nullptr;
  if (cg_StreamConfigGetFormat(sc, &current) == S_OK) {
    VIDEOINFOHEADER vih;
    std::memcpy(&vih, current->pbFormat, sizeof vih);
    format = vih.bmiHeader;
    log.setFormat(format);
  }
  DeleteMediaType(current);
  cg_StreamConfigRelease(sc);
  return found;
}

HRESULT TestGraph::render(bool withGrabber) {
  if (withGrabber) {
    if (cg_CreateSampleGrabber(&grabber) != S_OK) return E_FAIL;
    cg_GraphAddFilter(graph, grabber, "SampleGrab");
    cg_GrabberSetOneShot(grabber, FALSE);
    cg_GrabberSetBufferSamples(grabber, FALSE);
    cg_GrabberSetCallback(grabber, log.callback(), 1);
  }
  return cg_BuilderRenderStream(builder, source, grabber);
}

CG_STATE TestGraph::state(HRESULT* hr, DWORD ms) {
  CG_STATE s = CG_PAUSED;
  const HRESULT result = cg_GraphGetState(graph, ms, &s);
  if (hr) *hr = result;
  return s;
}

size_t residentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}
