// Construction, the automation interface and request dispatch.
#include "korvex_ctrl.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "draw_handle.h"
#include "korvex/korvex.h"

namespace korvex {

using namespace std::chrono_literals;

CKorvexCtrl::CKorvexCtrl() {
  CoInitialize(nullptr);  // the control works whether or not this succeeds
  acquireDrawHandle();
}

CKorvexCtrl::~CKorvexCtrl() {
  if (previewRunning_) PreUsbEnd();
  if (initialised_) EndCapture();  // never leave a worker behind a destroyed instance
  CoUninitialize();
  releaseDrawHandle();
}

void CKorvexCtrl::onClose() {
  if (started_) CaptureEnd();
}

HRESULT CKorvexCtrl::invoke(DISPID id, const VARIANT* args, UINT argc, VARIANT* result) {
  const pl::Args a(args, argc);
  auto hwnd = [&](UINT i) { return static_cast<HWND>(a.i4(i)); };
  switch (id) {
    case DISPID_KORVEX_GetPreBmpWidth:
    case DISPID_KORVEX_GetPreBmpHight:
    case DISPID_KORVEX_GetPreBmpComp: {
      // With one argument it is a property put: accepted, nothing stored.
      if (argc == 1) return S_OK;
      a.expect(0);
      if (!formatHeld_) return pl::returnInt(result, 0);
      const int32_t value = id == DISPID_KORVEX_GetPreBmpWidth   ? heldWidth_
                            : id == DISPID_KORVEX_GetPreBmpHight ? heldHeight_
                                                                 : static_cast<int32_t>(heldCompression_);
      return pl::returnInt(result, value);
    }
    case DISPID_KORVEX_GetUsbDevice: a.expect(1); return pl::returnInt(result, GetUsbDevice(hwnd(0)));
    case DISPID_KORVEX_PreUsbGo: a.expect(2); return pl::returnInt(result, PreUsbGo(hwnd(0), a.i4(1)));
    case DISPID_KORVEX_PreUsbEnd: a.expect(0); return pl::returnInt(result, PreUsbEnd());
    case DISPID_KORVEX_DspComboText: a.expect(2); return pl::returnInt(result, DspComboText(hwnd(0), a.i4(1)));
    case DISPID_KORVEX_GetWinDir: a.expect(0); return pl::returnString(result, GetWinDir());
    case DISPID_KORVEX_PreViewFmtSet: a.expect(2); return pl::returnInt(result, PreViewFmtSet(a.i4(0), a.i4(1)));
    case DISPID_KORVEX_InitCapture: a.expect(1); return pl::returnInt(result, InitCapture(a.i4(0)));
    case DISPID_KORVEX_EndCapture: a.expect(0); return pl::returnInt(result, EndCapture());
    case DISPID_KORVEX_CaptureGo: a.expect(3); return pl::returnInt(result, CaptureGo(a.i4(0), a.i4(1), a.i4(2)));
    case DISPID_KORVEX_SetCapWind: a.expect(2); return pl::returnInt(result, SetCapWind(a.i4(0), hwnd(1)));
    case DISPID_KORVEX_CaptureEnd: a.expect(0); return pl::returnInt(result, CaptureEnd());
    case DISPID_KORVEX_CaptureStart: a.expect(1); return pl::returnInt(result, CaptureStart(hwnd(0)));
    case DISPID_KORVEX_SetSafeMode: a.expect(1); return pl::returnInt(result, SetSafeMode(a.i4(0)));
    case DISPID_KORVEX_DspFmtTyp: a.expect(2); return pl::returnInt(result, DspFmtTyp(a.i4(0), hwnd(1)));
    case DISPID_KORVEX_DspCmpTyp: a.expect(2); return pl::returnInt(result, DspCmpTyp(a.i4(0), hwnd(1)));
    case DISPID_KORVEX_DspGetSize: a.expect(2); return pl::returnInt(result, DspGetSize(a.i4(0), hwnd(1)));
    case DISPID_KORVEX_DspGetDay: a.expect(2); return pl::returnInt(result, DspGetDay(a.i4(0), hwnd(1)));
    case DISPID_KORVEX_WriteBmp: a.expect(2); return pl::returnInt(result, WriteBmp(a.i4(0), a.str(1)));
    case DISPID_KORVEX_AboutBox:
      a.expect(0);
      AboutBox();
      return S_OK;
    default: return DISP_E_MEMBERNOTFOUND;
  }
}

LRESULT CKorvexCtrl::windowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_TIMER: onTimer(); return 0;
    case WM_CAPTURE_ANNOUNCE: onAnnounce(wParam, lParam); return 0;
    case WM_CAPTURE_EXEC: onExec(wParam, lParam); return 0;
    case WM_CAPTURE_RESULT: onResult(wParam, lParam); return 0;
    case WM_CAPTURE_NEXT: takeNextRequest(); return 0;
    case WM_PAINT: paintControl(); return 0;
    default: return ControlBase::windowProc(msg, wParam, lParam);
  }
}

// --- Members without camera work -----------------------------------------

int32_t CKorvexCtrl::DspComboText(HWND combo, int32_t idx) {
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(static_cast<intptr_t>(idx)), 0);
  return 0;
}

std::string CKorvexCtrl::GetWinDir() const {
  // The system directory of this platform: where shared system data lives.
  return "/usr/share";
}

int32_t CKorvexCtrl::PreViewFmtSet(int32_t sizeCode, int32_t compression) {
  if (!formatHeld_) {
    sizeCode_ = sizeCode;
    compression_ = compression;
  }
  return 0;
}

int32_t CKorvexCtrl::SetSafeMode(int32_t mode) {
  safeMode_ = mode;
  return 0;
}

int32_t CKorvexCtrl::SetCapWind(int32_t usbno, HWND hwnd) {
  if (usbno < 1 || usbno > kMaxUnits) return 1;
  units_[static_cast<size_t>(usbno - 1)].displayWindow = hwnd;
  return 0;
}

// --- Capture run -------------------------------------------------------------

int32_t CKorvexCtrl::InitCapture(int32_t units) {
  if (initialised_) return 1;
  unitCount_ = std::clamp(units, 0, kMaxUnits);
  initialised_ = true;
  for (int u = 0; u < unitCount_; ++u) {
    units_[static_cast<size_t>(u)].frame.reset(new (std::nothrow) BYTE[kFrameBufferSize]);
    devices_[static_cast<size_t>(u)].reset();
  }
  grabBuffer_.reset(new (std::nothrow) BYTE[kFrameBufferSize]);
  workerEnded_ = false;
  worker_ = std::thread([this] { DeviceCheckWorker(); });
  workerAck_.wait(5000ms);
  // The instance value: anything but 0 and 1.
  return static_cast<int32_t>(reinterpret_cast<uintptr_t>(this) & 0x7ffffff0u) | 0x10;
}

int32_t CKorvexCtrl::EndCapture() {
  if (capturing_) {
    endCaptureDeferred_ = true;  // the capture under way uses the buffers
    return 0;
  }
  if (!initialised_) return 0;
  initialised_ = false;
  commands_.signal(WorkerCommands::kQuit);
  // Wait the usual two seconds, then for as long as a device check still takes:
  // the worker must never outlive the tables it works on.
  for (int i = 0; i < 200 && !workerEnded_; ++i) std::this_thread::sleep_for(10ms);
  if (worker_.joinable()) worker_.join();
  for (int u = 0; u < unitCount_; ++u) {
    UnitRecord& unit = units_[static_cast<size_t>(u)];
    std::lock_guard lock(unit.lock);
    unit.frame.reset();
    devices_[static_cast<size_t>(u)].reset();
  }
  grabBuffer_.reset();
  return 0;
}

int32_t CKorvexCtrl::CaptureStart(HWND owner) {
  if (!initialised_ || started_) return 1;
  SetTimer(window(), kTimerId, 1000, nullptr);
  ring_.clear();
  started_ = true;
  if (!capturing_) busy_ = false;
  dispatching_ = false;
  liveOwner_ = owner;
  for (UnitRecord& unit : units_) unit.deviceStatus = 0;
  commandWorker(WorkerCommands::kStart);
  return 0;
}

int32_t CKorvexCtrl::CaptureEnd() {
  if (initialised_) commandWorker(WorkerCommands::kEnd);
  ring_.clear();
  started_ = false;
  KillTimer(window(), kTimerId);
  return 0;
}

// The worker may be waiting for the device-table lock that a capture holds:
// while one runs, the command is given when it has returned.
void CKorvexCtrl::commandWorker(WorkerCommands::Command command) {
  if (capturing_) {
    workerCommandDeferred_ = command;
    return;
  }
  commands_.signal(command);
  workerAck_.wait(2000ms);
}

int32_t CKorvexCtrl::CaptureGo(int32_t unitno, int32_t fmtno, int32_t mtcmp) {
  if (!started_ || unitno < 1 || unitno > kMaxUnits) return 1;
  if (!ring_.push({unitno - 1, fmtno, mtcmp})) return 1;
  // An idle control takes the request through the message loop at once
  // rather than at its next tick, which could be up to a second away.
  if (!busy_ && !dispatching_) PostMessageA(window(), WM_CAPTURE_NEXT, 0, 0);
  return 0;
}

void CKorvexCtrl::onTimer() { takeNextRequest(); }

// One request leaves the ring, in order, unless a capture is under way or
// on its way (announced, not yet run).
void CKorvexCtrl::takeNextRequest() {
  if (busy_ || dispatching_) return;
  if (auto r = ring_.pop()) {
    const LPARAM packed = (static_cast<LPARAM>(r->mtcmp) << 8) + r->fmtno;
    dispatching_ = PostMessageA(window(), WM_CAPTURE_ANNOUNCE, static_cast<WPARAM>(r->unit), packed) != FALSE;
  }
}

void CKorvexCtrl::onAnnounce(WPARAM wParam, LPARAM lParam) {
  if (!started_) {  // ended meanwhile: the request is dropped
    dispatching_ = false;
    return;
  }
  fireEvent(DISPID_KORVEX_EVENT_CapDspNo, {pl::Variant(static_cast<int32_t>(wParam) + 1)});
  if (!PostMessageA(window(), WM_CAPTURE_EXEC, wParam, lParam)) dispatching_ = false;
}

void CKorvexCtrl::onExec(WPARAM wParam, LPARAM lParam) {
  if (capturing_) {
    // Only reachable through a message loop turned inside a capture: run it after.
    PostMessageA(window(), WM_CAPTURE_EXEC, wParam, lParam);
    return;
  }
  busy_ = true;
  capturing_ = true;
  sizeCode_ = static_cast<int32_t>(lParam & 0x0f);
  compression_ = static_cast<int32_t>((lParam >> 4) & 0x0f);
  startFrames_ = std::clamp(static_cast<int32_t>((lParam >> 8) & 0xff), 5, 100);
  CaptureOneFrame(static_cast<int>(wParam));
  capturing_ = false;
  busy_ = false;
  dispatching_ = false;
  afterCapture();
  // A backlog is served now rather than at the next tick; the message goes
  // through the queue, so input and the result event come first.
  if (started_ && !ring_.empty()) PostMessageA(window(), WM_CAPTURE_NEXT, 0, 0);
}

void CKorvexCtrl::afterCapture() {
  if (workerTableReleaseDeferred_) {
    workerTableReleaseDeferred_ = false;
    std::lock_guard lock(deviceTableLock_);
    releaseWorkerTable(deviceCount_);
  }
  if (const auto command = std::exchange(workerCommandDeferred_, WorkerCommands::kTimeout);
      command != WorkerCommands::kTimeout && initialised_) {
    commandWorker(command);
  }
  if (std::exchange(endCaptureDeferred_, false)) EndCapture();
}

void CKorvexCtrl::onResult(WPARAM wParam, LPARAM lParam) {
  if (!started_) return;
  fireEvent(DISPID_KORVEX_EVENT_Capture,
            {pl::Variant(static_cast<int32_t>(wParam)), pl::Variant(static_cast<int32_t>(lParam))});
}

}  // namespace korvex
