// One capture station's run of capture, apart from the screens that show
// it: the capture control's client, the scheduler, the handler of the
// control's events, the write-directory locks held while capture runs and
// the private temporary directory of the frame file. The control screen
// owns it; the capture screen starts and stops it and is its view.
// Threads: UI thread only; the control's events arrive there.
#pragma once
#include <QString>
#include <vector>

#include "capture_run/capture_events.h"
#include "capture_run/capture_scheduler.h"
#include "capture_run/capture_view.h"
#include "capture_run/private_temp_dir.h"
#include "clients/korvex_client.h"
#include "selvane/model/settings_file.h"
#include "selvane/model/unit_model.h"
#include "selvane/publication/directory_lock.h"

namespace selvane {

struct Plenkit;

class CaptureRun {
 public:
  explicit CaptureRun(model::UnitModel& model);
  CaptureRun(const CaptureRun&) = delete;
  CaptureRun& operator=(const CaptureRun&) = delete;

  // Creates the capture control on `host`, its events handled here. False
  // (with a reason) when it cannot.
  bool createControl(HWND host, const Plenkit* plenkit, TextReceiver receiver, QString* error);
  void releaseControl() { korvex_.release(); }
  // The frame file's directory: a private one under the first usable of
  // $XDG_RUNTIME_DIR and `fallbackBase`, else the start-up directory.
  void makeTempDir(const QString& fallbackBase);
  // Events are handled from here on (nullptr: ignored again).
  void setView(CaptureView* view) {
    events_.setView(view);
    view_ = view;
  }

  // "開始": the rows as the operator left them become the run (units,
  // write directories, intervals, formats) and the write directory of every
  // saving unit is locked. Empty, or what the operator must be told: the
  // first unusable row, or a write directory another program holds.
  QString prepare(const model::RowSnapshot& rows);
  // Capture starts, the control's status texts going to `statusWindow`.
  void begin(HWND statusWindow);
  // Capture ends; no unit stays pending.
  void end();
  bool running() const { return scheduler_.running(); }
  // Capture has ended: the directories are free for others.
  void releaseWriteDirs() { dirLocks_.clear(); }

  KorvexClient& korvex() { return korvex_; }
  CaptureScheduler& scheduler() { return scheduler_; }
  CaptureEvents& events() { return events_; }

 private:
  bool requestCapture(int k);
  QString lockWriteDirs();

  model::UnitModel& model_;
  KorvexClient korvex_;
  CaptureScheduler scheduler_;
  CaptureEvents events_;
  CaptureView* view_ = nullptr;
  PrivateTempDir tempDir_;                            // holds the frame file
  std::vector<publication::DirectoryLock> dirLocks_;  // held from "開始" until the capture screen hands back
};

}  // namespace selvane
