// What the control screen does with the capture control's two events: shows
// each captured frame on the capture screen, applies the unit's adjustments
// and publishes the picture in the unit's write directory (two alternating
// image files, "cap.ctl" and the "CAPDIR" marker). UI thread only: the events
// arrive there, one at a time, inside the control's message handling.
#pragma once
#include <QString>
#include <array>
#include <cstdint>
#include <string>

#include "selvane/model/unit_model.h"

class QLineEdit;

namespace selvane {

class KorvexClient;
struct Plenkit;
namespace screens {
class CaptureScreen;
}

class CaptureEvents {
 public:
  // Store modes: the image buffer as BMP, the temporary frame file copied as
  // BMP, the JPEG buffer.
  enum StoreMode { kStoreBmp = 0, kStoreJpeg = 1, kStoreFrameCopy = 3 };

  CaptureEvents(model::UnitModel& model, KorvexClient& korvex, const Plenkit* plenkit, screens::CaptureScreen& captureScreen,
                QLineEdit* text7);

  // Unit numbers outside 1..6 are ignored: the program never asks for them.
  void onCapDspNo(int32_t usbno);
  void onCapture(int32_t usbno, int32_t rtcd);

  // Publishes the current picture of unit k as its next slot file.
  // `jpegLength` is what the JPEG conversion produced (JPEG mode). A picture
  // that cannot be written whole is not published: the pane says
  // "書込エラー" and the log says why, once until it works again.
  void storeImage(int k, StoreMode mode, int32_t jpegLength = 0);

  // In the program's private temporary directory (one per running copy).
  QString frameFilePath() const { return model_.tempDir + QStringLiteral("selvane.bmp"); }

 private:
  model::UnitModel& model_;
  KorvexClient& korvex_;
  const Plenkit* plenkit_;
  screens::CaptureScreen& captureScreen_;
  QLineEdit* text7_;
  std::array<std::string, model::kUnitCount> lastProblem_;  // what the log last said per unit
};

}  // namespace selvane
