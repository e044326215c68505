#include "capture_run/capture_run.h"

namespace selvane {

CaptureRun::CaptureRun(model::UnitModel& model)
    : model_(model),
      scheduler_(model, [this](int k) { return requestCapture(k); }),
      events_(model, korvex_, scheduler_) {}

bool CaptureRun::createControl(HWND host, const Plenkit* plenkit, TextReceiver receiver, QString* error) {
  events_.attach(plenkit, std::move(receiver));
  KorvexClient::Events handlers;
  handlers.capDspNo = [this](int32_t usbno) { events_.onCapDspNo(usbno); };
  handlers.capture = [this](int32_t usbno, int32_t rtcd) { events_.onCapture(usbno, rtcd); };
  return korvex_.create(host, handlers, error);
}

void CaptureRun::makeTempDir(const QString& fallbackBase) {
  model_.tempDir = tempDir_.create(fallbackBase);
  if (model_.tempDir.isEmpty()) model_.tempDir = model_.startupDir;
}

void CaptureRun::begin(HWND statusWindow) {
  korvex_.CaptureStart(statusWindow);
  scheduler_.start();
}

void CaptureRun::end() {
  korvex_.CaptureEnd();
  scheduler_.stop();
}

bool CaptureRun::requestCapture(int k) {
  const model::RunFields& r = model_.run[static_cast<size_t>(k)];
  if (korvex_.CaptureGo(k + 1, r.compressionNo * 16 + r.formatNo, r.startFrame) != 0) return false;
  if (view_) view_->showLamp(k, CaptureView::Lamp::Asked);
  return true;
}

}  // namespace selvane
