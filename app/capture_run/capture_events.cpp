#include "capture_run/capture_events.h"

#include "capture_run/capture_scheduler.h"
#include "clients/korvex_client.h"
#include "clients/plenkit_client.h"

namespace selvane {

using Lamp = CaptureView::Lamp;

CaptureEvents::CaptureEvents(model::UnitModel& model, KorvexClient& korvex, CaptureScheduler& scheduler)
    : model_(model), korvex_(korvex), scheduler_(scheduler) {}

void CaptureEvents::attach(const Plenkit* plenkit, TextReceiver receiver) {
  plenkit_ = plenkit;
  receiver_ = std::move(receiver);
}

void CaptureEvents::onCapDspNo(int32_t usbno) {
  const int k = usbno - 1;
  if (!view_ || !model::isUnit(k)) return;
  const model::RunFields& run = model_.run[static_cast<size_t>(k)];
  if (run.capturePending != 1) return;
  // A picture that will be held (two publications of a unit stay a second
  // apart) leaves the pane showing the last one until it is handled; once
  // handled (no longer pending) there is nothing to clear.
  if (run.save == 1 && scheduler_.holdForPublication(k, [this, usbno] { onCapDspNo(usbno); })) return;
  if (plenkit_) plenkit_->BmpDispReset(k);
  view_->showLamp(k, Lamp::Lost);
}

void CaptureEvents::onCapture(int32_t usbno, int32_t rtcd) {
  const int k = usbno - 1;
  if (!view_ || !model::isUnit(k)) return;
  CaptureView& view = *view_;
  model::RunFields& run = model_.run[static_cast<size_t>(k)];
  if (run.capturePending != 1) return;
  // A picture that came less than a second after the unit's last
  // publication waits (the unit stays pending, so nothing is asked
  // meanwhile), unless Stop or a new run makes it stale.
  if (rtcd == 0 && run.save == 1 && scheduler_.holdForPublication(k, [this, usbno, rtcd] { onCapture(usbno, rtcd); }))
    return;

  view.showLamp(k, Lamp::Arrived);
  view.showCameraAdvice(k, rtcd != 0);
  if (rtcd != 0 || !plenkit_) {
    view.setStatusText(k, QStringLiteral("取込エラー発生"));
    view.showFrameDetails(k, {}, {}, {});
    run.capturePending = 0;
    scheduler_.frameHandled(k);
    return;
  }
  const Plenkit& lib = *plenkit_;
  const QString path = frameFilePath();
  const QByteArray pathBytes = path.toUtf8();
  const HWND text7 = receiver_.window;
  korvex_.DspGetDay(k, view.statusWindow(k));
  korvex_.DspFmtTyp(k, text7);
  const QString format = receiver_.text();
  korvex_.DspCmpTyp(k, text7);
  const QString compression = receiver_.text();
  korvex_.DspGetSize(k, text7);
  view.showFrameDetails(k, format, compression, receiver_.text());
  korvex_.WriteBmp(k, path);

  const model::Adjustments& stored = model_.adjust[static_cast<size_t>(k)];
  // The picture is changed with the bars' live positions, as they stand when
  // it is handled (a held picture: when it is released).
  const model::Adjustments live = view.liveAdjustments(k);
  bool opened = false;
  auto open = [&] {
    opened = lib.BitMapOpen(text7, pathBytes.constData()) == 0;
    if (!opened) view.setStatusText(k, QStringLiteral("取込エラー"));
  };
  if (stored.processing == 1) {
    open();
    if (opened) lib.BmpScalConv(live.rotation, live.zoom);
  }
  if (stored.colour == 1) {
    if (!opened) open();
    if (opened) lib.BmpColChange(live.brightness, live.red, live.green, live.blue);
  }
  const int32_t shown = opened ? lib.BmpDisp(k) : lib.BmpFileDisp(k, pathBytes.constData());
  if (shown == 1) view.setStatusText(k, QStringLiteral("表示エラー"));

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
  scheduler_.frameHandled(k);
}

}  // namespace selvane
