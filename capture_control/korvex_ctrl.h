// CKorvexCtrl: the camera capture control. One instance is sited, hidden, on
// the host's screen and driven by dispatch number.
//
// Threads and what they own:
// - the host's window thread (the UI thread) makes every automation call,
//   handles the control timer and the three private messages, and so runs
//   every capture and fires every event;
// - the device-check worker (started by InitCapture) enumerates devices and
//   checks one every 500 ms while capture is started; it touches only the
//   worker device table, the device statuses and the device count, under the
//   device-table lock, which every capture also holds throughout;
// - GStreamer's streaming thread calls the grabber callback, which touches
//   only the process-wide grab state under its own lock.
//
// What may run while a capture waits for its frame (the window thread sits in
// a painting-only wait): repaints, live-view drawing and timers, and so the
// host's timer handlers and a close of the control. The control timer's tick
// does nothing while busy is set; CaptureGo only queues (it takes the ring's
// lock). What would free or take what the capture holds waits for it to
// return: EndCapture, the worker commands of CaptureStart/CaptureEnd, the
// worker table release of PreUsbEnd, and a close (the control base defers
// it); PreUsbGo is refused. The private messages and the operator's input
// stay queued until the capture ends, so a capture never starts inside
// another and events keep their order.
//
// Pacing: the one-second tick takes a queued request when nothing is under
// way, and so does WM_CAPTURE_NEXT, posted when a capture ends, so that a
// backlog is served back to back with the message loop turning in between.
#pragma once
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "cg_ptr.h"
#include "platform/com_server.h"
#include "platform/wintypes.h"
#include "request_ring.h"
#include "sync.h"

namespace korvex {

struct CaptureTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The last capture of one unit.
struct UnitRecord {
  std::mutex lock;                       // held for the whole capture of the unit
  std::atomic<int32_t> deviceStatus{0};  // 0 usable, 1 not usable, 2 no capture stream
  HWND displayWindow = 0;
  std::unique_ptr<BYTE[]> frame;  // kFrameBufferSize bytes while initialised
  int32_t frameLength = 0;
  BITMAPINFOHEADER header{};
  CaptureTime time;
};

class CKorvexCtrl final : public pl::ControlBase {
 public:
  static constexpr int kMaxUnits = 12;
  static constexpr int kMaxDevices = 20;
  static constexpr size_t kFrameBufferSize = 3'000'000;
  static constexpr UINT_PTR kTimerId = 100;
  static constexpr DWORD kStateTimeoutMs = 2000;

  CKorvexCtrl();
  ~CKorvexCtrl() override;

 protected:
  HRESULT invoke(DISPID id, const VARIANT* args, UINT argc, VARIANT* result) override;
  LRESULT windowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void onClose() override;
  bool busyInWindowProc() const override { return capturing_; }

 private:
  // Automation members.
  int32_t GetUsbDevice(HWND combo);
  int32_t PreUsbGo(HWND hwnd, int32_t devno);
  int32_t PreUsbEnd();
  int32_t DspComboText(HWND combo, int32_t idx);
  std::string GetWinDir() const;
  int32_t PreViewFmtSet(int32_t sizeCode, int32_t compression);
  int32_t InitCapture(int32_t units);
  int32_t EndCapture();
  int32_t CaptureGo(int32_t unitno, int32_t fmtno, int32_t mtcmp);
  int32_t SetCapWind(int32_t usbno, HWND hwnd);
  int32_t CaptureEnd();
  int32_t CaptureStart(HWND owner);
  int32_t SetSafeMode(int32_t mode);
  int32_t DspFmtTyp(int32_t usbno, HWND hwnd);
  int32_t DspCmpTyp(int32_t usbno, HWND hwnd);
  int32_t DspGetSize(int32_t usbno, HWND hwnd);
  int32_t DspGetDay(int32_t usbno, HWND hwnd);
  int32_t WriteBmp(int32_t usbno, const std::string& path);
  void AboutBox();

  // Request dispatch on the window thread.
  void onTimer();
  void onAnnounce(WPARAM wParam, LPARAM lParam);
  void onExec(WPARAM wParam, LPARAM lParam);
  void onResult(WPARAM wParam, LPARAM lParam);
  void takeNextRequest();
  // Runs what was deferred while a capture ran.
  void afterCapture();

  // Camera work.
  int EnumerateVideoDevices();
  bool MatchFormat(LONG width, LONG height, DWORD compression) const;
  bool SelectFormat(CG_BUILDER* builder, CG_FILTER* source, BITMAPINFOHEADER* inForce);
  bool setFirstMatch(CG_STREAMCONFIG* config, int count);
  int ProbeDevice(int position);
  void DeviceCheckWorker();
  void recheckFailedUnit(int checked, int* retry);
  void CaptureOneFrame(int unit);
  void releasePreview();
  void releaseWorkerTable(int count);
  void commandWorker(WorkerCommands::Command command);

  // Frame store.
  bool unitAccepted(int32_t usbno) const;
  void DrawFrame(HWND window, const BITMAPINFOHEADER& header, const BYTE* pixels);
  void paintControl();

  // Codes and the held format.
  int32_t sizeCode_ = 0;
  int32_t compression_ = 0;
  int32_t startFrames_ = 5;
  LONG smallHeight_ = 124;  // the height size code 3 matches (120 when the camera lacks 124)
  bool formatHeld_ = false;
  LONG heldWidth_ = 0, heldHeight_ = 0;
  DWORD heldCompression_ = 0;

  // Devices: the control's table (captures, previews) and the worker's (checks).
  std::array<DevicePtr, kMaxDevices> devices_;
  std::array<DevicePtr, kMaxDevices> workerDevices_;
  std::atomic<int32_t> deviceCount_{0};
  int32_t workerCount_ = 0;
  std::mutex deviceTableLock_;

  // Preview.
  bool previewRunning_ = false;
  GraphPtr previewGraph_;
  FilterPtr previewSource_;
  BuilderPtr previewBuilder_;

  // Capture run.
  bool initialised_ = false;
  int32_t unitCount_ = 0;
  bool started_ = false;
  bool busy_ = false;
  bool dispatching_ = false;  // a request left the ring and its capture has not ended
  // Deferred while a capture runs (window thread only).
  bool capturing_ = false;
  bool endCaptureDeferred_ = false;
  WorkerCommands::Command workerCommandDeferred_ = WorkerCommands::kTimeout;  // kTimeout: none
  bool workerTableReleaseDeferred_ = false;
  std::atomic<int32_t> safeMode_{1};
  HWND liveOwner_ = 0;
  RequestRing ring_;
  std::array<UnitRecord, kMaxUnits> units_;
  std::unique_ptr<BYTE[]> grabBuffer_;
  AutoResetEvent frameReady_;

  // Device-check worker.
  std::thread worker_;
  WorkerCommands commands_;
  AutoResetEvent workerAck_;
  std::atomic<bool> workerEnded_{false};
};

}  // namespace korvex
