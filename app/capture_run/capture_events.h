// What the program does with the capture control's two events: shows each
// captured frame in its unit's display slot, applies the unit's adjustments
// and publishes the picture in the unit's write directory (two alternating
// image files, "cap.ctl" and the "CAPDIR" marker). The texts and lamps go to
// the capture view.
// Threads: UI thread only: the events arrive there, one at a time, inside
// the control's message handling.
#pragma once
#include <QString>
#include <array>
#include <cstdint>
#include <string>

#include "capture_run/capture_view.h"
#include "selvane/model/unit_model.h"

namespace selvane {

class CaptureScheduler;
class KorvexClient;
struct Plenkit;

class CaptureEvents {
 public:
  // Store modes: the image buffer as BMP, the temporary frame file copied as
  // BMP, the JPEG buffer.
  enum StoreMode { kStoreBmp = 0, kStoreJpeg = 1, kStoreFrameCopy = 3 };

  CaptureEvents(model::UnitModel& model, KorvexClient& korvex, CaptureScheduler& scheduler);

  // Until both are set the events are ignored.
  void attach(const Plenkit* plenkit, TextReceiver receiver);
  void setView(CaptureView* view) { view_ = view; }

  // Unit numbers outside 1..6 are ignored: the program never asks for them.
  void onCapDspNo(int32_t usbno);
  void onCapture(int32_t usbno, int32_t rtcd);

  // Publishes the current picture of unit k as its next slot file.
  // `jpegLength` is what the JPEG conversion produced (JPEG mode). A picture
  // that cannot be written whole is not published: the status box says
  // "書込エラー" and the log says why, once until it works again.
  void storeImage(int k, StoreMode mode, int32_t jpegLength = 0);

  // In the program's private temporary directory (one per running copy).
  QString frameFilePath() const { return model_.tempDir + QStringLiteral("selvane.bmp"); }

 private:
  model::UnitModel& model_;
  KorvexClient& korvex_;
  CaptureScheduler& scheduler_;
  const Plenkit* plenkit_ = nullptr;
  TextReceiver receiver_;
  CaptureView* view_ = nullptr;
  std::array<std::string, model::kUnitCount> lastProblem_;  // what the log last said per unit
};

}  // namespace selvane
