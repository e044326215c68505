// The one-shot capture: build a graph for the unit's camera, let the start
// frames pass, keep the last of them, tear the graph down.
#include <QDateTime>
#include <cstring>

#include "korvex/korvex.h"
#include "korvex_ctrl.h"

namespace korvex {
namespace {

// What the grabber callback works on. Process-wide: one capture at a time.
struct GrabState {
  std::mutex lock;  // held by the callback while it copies
  bool open = false;
  int framesToCopy = 0;
  BYTE* destination = nullptr;
  size_t capacity = 0;
  LONG delivered = 0;
  bool signalled = false;
  AutoResetEvent* frameReady = nullptr;
};

GrabState& grabState() {
  static GrabState state;
  return state;
}

// Serialises captures of all control instances in the process.
std::mutex& captureLock() {
  static std::mutex lock;
  return lock;
}

// The grabber's callback object: no state, no reference counting.
HRESULT cbQuery(ISampleGrabberCB* self, REFIID, void** out) {
  if (!out) return E_POINTER;
  *out = self;
  return S_OK;
}
ULONG cbAddRef(ISampleGrabberCB*) { return 2; }
ULONG cbRelease(ISampleGrabberCB*) { return 1; }
HRESULT cbSample(ISampleGrabberCB*, double, void*) { return E_NOTIMPL; }

// The first N buffers are copied one over the other, so the N-th is kept;
// the next one tells the waiting capture that it may go on.
HRESULT cbBuffer(ISampleGrabberCB*, double, BYTE* buffer, LONG length) {
  if (length <= 0 || !buffer) return E_FAIL;
  GrabState& g = grabState();
  std::lock_guard lock(g.lock);
  if (!g.open) return S_OK;
  if (g.framesToCopy > 0) {
    if (static_cast<size_t>(length) > g.capacity) return E_FAIL;  // never past the grab buffer
    --g.framesToCopy;
    std::memcpy(g.destination, buffer, static_cast<size_t>(length));
    g.delivered = length;
    g.signalled = false;
  } else if (!g.signalled) {
    g.frameReady->set();
    g.signalled = true;
    pl_WakeUiThread();
  }
  return S_OK;
}

const ISampleGrabberCBVtbl kCallbackVtbl = {&cbQuery, &cbAddRef, &cbRelease, &cbSample, &cbBuffer};
ISampleGrabberCB grabberCallback{&kCallbackVtbl};

// What the capture waits for: the frame after the kept one, or the camera's
// failure (unplugged, busy), which ends the wait at once.
struct FrameWait {
  AutoResetEvent* frameReady;
  CG_GRAPH* graph;
  bool failed = false;
};

BOOL frameArrivedOrFailed(void* context) {
  auto* w = static_cast<FrameWait*>(context);
  if (w->frameReady->tryTake()) return TRUE;
  CG_STATE state = CG_STOPPED;
  w->failed = cg_GraphGetState(w->graph, 0, &state) == E_FAIL;
  return w->failed ? TRUE : FALSE;
}

CaptureTime now() {
  const QDateTime t = QDateTime::currentDateTime();
  return {t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(), t.time().second()};
}

// Everything one capture makes, released in the order the capture tears down.
struct CaptureGraph {
  FilterPtr source;
  GraphPtr graph;
  BuilderPtr builder;
  FilterPtr grabber;
  bool sourceAdded = false;
  bool videoWindow = false;

  CaptureGraph() = default;
  CaptureGraph(const CaptureGraph&) = delete;
  CaptureGraph& operator=(const CaptureGraph&) = delete;
  ~CaptureGraph() { release(); }

  void release() {
    if (graph) {
      cg_GraphStop(graph.get());
      if (videoWindow) {
        cg_VideoWindowSetVisible(graph.get(), FALSE);
        cg_VideoWindowSetOwner(graph.get(), 0);
      }
    }
    if (grabber) cg_GrabberSetCallback(grabber.get(), nullptr, 1);
    grabber.reset();
    if (graph && sourceAdded) cg_GraphRemoveFilter(graph.get(), source.get());
    source.reset();
    builder.reset();
    graph.reset();
    sourceAdded = videoWindow = false;
  }
};

// Leaves the unit lock first, then the device-table lock.
struct CaptureLocks {
  CaptureLocks(std::mutex& unit, std::mutex& table) : unit_(unit), table_(table) {
    unit_.lock();
    table_.lock();
  }
  ~CaptureLocks() {
    unit_.unlock();
    table_.unlock();
  }
  CaptureLocks(const CaptureLocks&) = delete;
  CaptureLocks& operator=(const CaptureLocks&) = delete;
  std::mutex& unit_;
  std::mutex& table_;
};

}  // namespace

void CKorvexCtrl::CaptureOneFrame(int u) {
  const WPARAM unitNumber = static_cast<WPARAM>(u + 1);
  if (u < 0 || u >= kMaxUnits || u >= deviceCount_ || !units_[static_cast<size_t>(u)].frame ||
      units_[static_cast<size_t>(u)].deviceStatus != 0 || !grabBuffer_) {
    PostMessageA(window(), WM_CAPTURE_RESULT, unitNumber, KORVEX_CAPTURE_FAILED);
    return;
  }
  UnitRecord& unit = units_[static_cast<size_t>(u)];
  formatHeld_ = false;
  CaptureLocks locks(unit.lock, deviceTableLock_);
  std::lock_guard processLock(captureLock());

  GrabState& g = grabState();
  {
    std::lock_guard lock(g.lock);
    g.destination = grabBuffer_.get();
    g.capacity = kFrameBufferSize;
    g.delivered = 0;
    g.framesToCopy = startFrames_;
    g.signalled = false;
    g.frameReady = &frameReady_;
    g.open = true;
  }
  frameReady_.reset();  // a late signal of an earlier capture must not end this wait
  const HWND display = unit.displayWindow;
  unit.frameLength = 0;

  // Posts the result and releases everything (the graph first, then the locks).
  auto finish = [&](int code, CaptureGraph* built) {
    {
      std::lock_guard lock(g.lock);
      g.open = false;
    }
    built->release();
    PostMessageA(window(), WM_CAPTURE_RESULT, unitNumber, code);
  };

  CaptureGraph c;
  {
    CG_DEVICE* device = devices_[static_cast<size_t>(u)].get();
    CG_FILTER* source = nullptr;
    if (!device || FAILED(cg_DeviceBindSource(device, &source))) return finish(KORVEX_CAPTURE_FAILED, &c);
    c.source.reset(source);
  }
  {
    CG_GRAPH* graph = nullptr;
    if (FAILED(cg_CreateFilterGraph(&graph))) return finish(KORVEX_CAPTURE_FAILED, &c);
    c.graph.reset(graph);
  }
  if (FAILED(cg_GraphAddFilter(c.graph.get(), c.source.get(), "Video Capture")))
    return finish(KORVEX_CAPTURE_FAILED, &c);
  c.sourceAdded = true;
  {
    CG_BUILDER* builder = nullptr;
    if (FAILED(cg_CreateCaptureGraphBuilder(&builder))) return finish(KORVEX_CAPTURE_FAILED, &c);
    c.builder.reset(builder);
  }
  if (FAILED(cg_BuilderSetFiltergraph(c.builder.get(), c.graph.get()))) return finish(KORVEX_CAPTURE_FAILED, &c);

  BITMAPINFOHEADER streamHeader{};
  if (!SelectFormat(c.builder.get(), c.source.get(), &streamHeader)) return finish(KORVEX_NO_FORMAT, &c);
  formatHeld_ = true;
  unit.header = streamHeader;

  {
    CG_FILTER* grabber = nullptr;
    if (FAILED(cg_CreateSampleGrabber(&grabber))) return finish(KORVEX_CAPTURE_FAILED, &c);
    c.grabber.reset(grabber);
  }
  if (FAILED(cg_GraphAddFilter(c.graph.get(), c.grabber.get(), "SampleGrab")) ||
      FAILED(cg_GrabberSetOneShot(c.grabber.get(), FALSE)) ||
      FAILED(cg_GrabberSetBufferSamples(c.grabber.get(), FALSE)) ||
      FAILED(cg_GrabberSetCallback(c.grabber.get(), &grabberCallback, 1)) ||
      FAILED(cg_BuilderRenderStream(c.builder.get(), c.source.get(), c.grabber.get()))) {
    return finish(KORVEX_CAPTURE_FAILED, &c);
  }
  if (liveOwner_ != 0) {
    RECT client{};
    GetClientRect(liveOwner_, &client);
    if (FAILED(cg_VideoWindowSetOwner(c.graph.get(), liveOwner_))) return finish(KORVEX_CAPTURE_FAILED, &c);
    c.videoWindow = true;
    cg_VideoWindowSetStyle(c.graph.get(), static_cast<LONG>(WS_CHILD | WS_CLIPSIBLINGS));
    cg_VideoWindowSetPosition(c.graph.get(), 0, 0, client.right, client.bottom);
  }
  CG_STATE state = CG_STOPPED;
  if (cg_GraphGetState(c.graph.get(), kStateTimeoutMs, &state) == E_FAIL || state != CG_STOPPED) {
    return finish(KORVEX_CAPTURE_FAILED, &c);
  }
  if (cg_GraphRun(c.graph.get()) != S_OK &&
      (cg_GraphGetState(c.graph.get(), kStateTimeoutMs, &state) == E_FAIL || state != CG_RUNNING)) {
    return finish(KORVEX_CAPTURE_FAILED, &c);
  }

  const DWORD budget = static_cast<DWORD>(startFrames_) * 60 + 5000;
  FrameWait wait{&frameReady_, c.graph.get()};
  const bool arrived = pl_WaitPaintingOnly(budget, frameArrivedOrFailed, &wait) == TRUE && !wait.failed;
  unit.time = now();

  // Close the grab state before reading the grab buffer: once the lock is
  // ours and `open` is false, the streaming thread copies nothing more.
  LONG delivered = 0;
  {
    std::lock_guard lock(g.lock);
    g.open = false;
    g.framesToCopy = 0;
    delivered = g.delivered;
  }
  int result = KORVEX_CAPTURED;
  if (delivered > 0) {
    std::memcpy(unit.frame.get(), grabBuffer_.get(), static_cast<size_t>(delivered));
    unit.frameLength = delivered;
    DrawFrame(display, streamHeader, unit.frame.get());
  } else {
    result = KORVEX_CAPTURE_FAILED;
  }
  if (!arrived) result = KORVEX_CAPTURE_FAILED;  // a frame stored before the time-out stays

  c.release();
  PostMessageA(window(), WM_CAPTURE_RESULT, unitNumber, result);
}

}  // namespace korvex
