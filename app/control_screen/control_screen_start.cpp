// "開始" on the control screen: the run takes the rows, the capture screen
// takes over.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "clients/plenkit_client.h"
#include "control_screen/control_screen.h"
#include "platform/qt_bridge.h"
#include "platform/services.h"
#include "screens/capture_screen.h"
#include "screens/full_screen_view.h"
#include "screens/unit_pane.h"
#include "screens/widgets.h"

namespace selvane {

void ControlScreen::startCapture() {
  if (const QString refusal = run_.prepare(rowSnapshot()); !refusal.isEmpty()) {
    MessageBoxA(pl::hwndOf(this), refusal.toUtf8().constData(), nullptr, MB_OK);
    return;
  }
  clock_.stop();
  hide();
  showRun();
  korvex().SetSafeMode(model_.safeMode);

  screens::CaptureScreen& capture = *captureScreen_;
  setEnabled(false);
  capture.setEnabled(true);
  capture.show();
  plenkit_->ClickMessageSend(pl::hwndOf(capture.startButton()));
}

void ControlScreen::showRun() {
  screens::CaptureScreen& capture = *captureScreen_;
  const int n = model_.displayCount;
  capture.layoutForUnits(n);
  for (int i = 0; i < n; ++i) plenkit_->BitDispWindSet(i, pl::hwndOf(capture.pane(i)->picture1));

  for (int k = 0; k < model::kUnitCount; ++k) {
    screens::UnitPane* p = capture.pane(k);
    const model::RunFields& run = model_.run[static_cast<size_t>(k)];
    p->text5->setText(QStringLiteral(" %1").arg(k + 1));
    const bool present = run.devicePresent == 1;
    if (present) {
      // Setting the same text again puts the cursor at its end; the boxes show
      // a text's start, as they do on the first run.
      p->text4->setText(combo1_->itemText(k).mid(3));
      p->text4->setCursorPosition(0);
      p->text2->setText(run.writeDir);
      p->text2->setCursorPosition(0);
    }
    if (present && run.active == 1) {
      p->setEnabled(true);
      screens::setBackColor(p->label8, screens::kCyan);
    } else {
      p->setEnabled(false);
      screens::setBackColor(p->label8, screens::kRed);
      screens::setBackColor(p->label1, screens::inactiveBorderColour());
    }
    screens::setBackColor(p->label7, run.save == 1 ? screens::kCyan : screens::kYellow);
  }

  for (int k = 0; k < model::kUnitCount; ++k) {
    screens::UnitPane* p = capture.pane(k);
    const model::Adjustments a = model_.adjust[static_cast<size_t>(k)];  // the bars write back as they move
    p->hscroll4->setValue(a.rotation);
    p->vscroll2->setValue(a.zoom);
    p->vscroll1->setValue(a.brightness);
    p->hscroll1->setValue(a.red);
    p->hscroll2->setValue(a.green);
    p->hscroll3->setValue(a.blue);
    // The boxes follow the flags both ways: a box left ticked over a flag of 0
    // would show a processing the stored pictures do not have.
    p->check1->setChecked(a.processing == 1);
    p->check2->setChecked(a.colour == 1);
  }

  const QColor off(150, 150, 150);
  screens::setBackColor(capture.normalLabel(), model_.safeMode == 0 ? screens::kCyan : off);
  screens::setBackColor(capture.safeLabel(), model_.safeMode == 0 ? off : screens::kCyan);
  plenkit_->BitDispWindSet(6, pl::hwndOf(fullScreenView_.get()));
}

}  // namespace selvane
