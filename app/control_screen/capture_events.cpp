#include "control_screen/capture_events.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>

#include "control_screen/camera_advice.h"
#include "control_screen/korvex_client.h"
#include "control_screen/plenkit_client.h"
#include "platform/qt_bridge.h"
#include "screens/capture_screen.h"
#include "screens/unit_pane.h"
#include "screens/widgets.h"

namespace selvane {

using screens::UnitPane;

CaptureEvents::CaptureEvents(model::UnitModel& model, KorvexClient& korvex, const Plenkit* plenkit,
                             screens::CaptureScreen& captureScreen, QLineEdit* text7)
    : model_(model), korvex_(korvex), plenkit_(plenkit), captureScreen_(captureScreen), text7_(text7) {}

void CaptureEvents::onCapDspNo(int32_t usbno) {
  const int k = usbno - 1;
  if (!model::isUnit(k) || model_.run[static_cast<size_t>(k)].capturePending != 1) return;
  UnitPane* pane = captureScreen_.pane(k);
  if (plenkit_) plenkit_->BmpDispReset(k);
  screens::setBackColor(pane->label1, screens::kRed);
  pane->picture1->repaint();  // the window paints itself: the picture is gone
}

void CaptureEvents::onCapture(int32_t usbno, int32_t rtcd) {
  const int k = usbno - 1;
  if (!model::isUnit(k)) return;
  UnitPane* pane = captureScreen_.pane(k);
  model::RunFields& run = model_.run[static_cast<size_t>(k)];
  const model::Adjustments& stored = model_.adjust[static_cast<size_t>(k)];
  // The picture is changed with the bars' live positions.
  const int rotation = pane->hscroll4->value(), zoom = pane->vscroll2->value();
  const int brightness = pane->vscroll1->value(), red = pane->hscroll1->value();
  const int green = pane->hscroll2->value(), blue = pane->hscroll3->value();
  if (run.capturePending != 1) return;
  // Two publications of a unit are never closer than a second: a picture
  // that came sooner waits (the unit stays pending, so nothing is asked
  // meanwhile), unless Stop or a new run makes it stale.
  if (rtcd == 0 && run.save == 1) {
    if (const int64_t hold = captureScreen_.pacing().untilPublish(k); hold > 0) {
      const int runNumber = captureScreen_.runNumber();
      QTimer::singleShot(static_cast<int>(hold), Qt::PreciseTimer, &captureScreen_, [this, usbno, rtcd, runNumber] {
        if (captureScreen_.runNumber() == runNumber) onCapture(usbno, rtcd);
      });
      return;
    }
  }

  screens::setBackColor(pane->label1, screens::kCyan);
  pane->label1->repaint();
  showCameraAdvice(pane, k, rtcd != 0);
  if (rtcd != 0 || !plenkit_) {
    pane->text1->setText(QStringLiteral("取込エラー発生"));
    pane->label5->clear();
    pane->label9->clear();
    pane->label6->clear();
    run.capturePending = 0;
    captureScreen_.frameHandled(k);
    return;
  }
  const Plenkit& lib = *plenkit_;
  const QString path = frameFilePath();
  const QByteArray pathBytes = path.toUtf8();
  const HWND text7 = pl::hwndOf(text7_);
  korvex_.DspGetDay(k, pl::hwndOf(pane->text1));
  korvex_.DspFmtTyp(k, text7);
  pane->label5->setText(text7_->text());
  korvex_.DspCmpTyp(k, text7);
  pane->label9->setText(text7_->text());
  korvex_.DspGetSize(k, text7);
  pane->label6->setText(text7_->text());
  korvex_.WriteBmp(k, path);

  bool opened = false;
  auto open = [&] {
    opened = lib.BitMapOpen(text7, pathBytes.constData()) == 0;
    if (!opened) pane->text1->setText(QStringLiteral("取込エラー"));
  };
  if (stored.processing == 1) {
    open();
    if (opened) lib.BmpScalConv(rotation, zoom);
  }
  if (stored.colour == 1) {
    if (!opened) open();
    if (opened) lib.BmpColChange(brightness, red, green, blue);
  }
  const int32_t shown = opened ? lib.BmpDisp(k) : lib.BmpFileDisp(k, pathBytes.constData());
  if (shown == 1) pane->text1->setText(QStringLiteral("表示エラー"));

  if (run.save == 1) {
    const bool jpeg = model_.sendFormat != model::kSendBmp;
    if (opened && jpeg) {
      if (const int32_t n = lib.BmptoJpgConvert(model_.jpegQuality); n > 0) storeImage(k, kStoreJpeg, n);
    } else if (opened) {
      storeImage(k, kStoreBmp);
    } else if (jpeg) {
      open();
      if (!opened) {
        storeImage(k, kStoreFrameCopy);
      } else if (const int32_t n = lib.BmptoJpgConvert(model_.jpegQuality); n > 0) {
        storeImage(k, kStoreJpeg, n);
      }
    } else {
      storeImage(k, kStoreFrameCopy);
    }
  }
  if (opened) lib.BitMapClose();
  // The full-screen view follows its unit whichever way the picture was shown.
  if (model_.fullScreenShown == 1 && model_.fullScreenUnit == k) lib.BmpDispCopy(k, 6);
  run.capturePending = 0;
  captureScreen_.frameHandled(k);
}

}  // namespace selvane
