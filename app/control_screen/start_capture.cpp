// "開始": the unit rows become the run, the capture screen takes over.
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "control_screen/control_screen.h"
#include "control_screen/plenkit_client.h"
#include "control_screen/unit_row.h"
#include "platform/qt_bridge.h"
#include "platform/services.h"
#include "screens/capture_screen.h"
#include "screens/full_screen_view.h"
#include "screens/unit_pane.h"
#include "screens/widgets.h"
#include "selvane/publication/list_rules.h"
#include "selvane/publication/numeric_text.h"
#include "selvane/model/text_helpers.h"

namespace selvane {

void ControlScreen::startCapture() {
  auto tell = [this](const QString& text) {
    MessageBoxA(pl::hwndOf(this), text.toUtf8().constData(), nullptr, MB_OK);
  };
  // Checking the rows; the first unusable one stops the start with a message.
  model_.displayCount = 0;
  int taking = 0;
  for (int k = 0; k < model::kUnitCount; ++k) {
    UnitRow* r = rows_[static_cast<size_t>(k)];
    model::RunFields& run = model_.run[static_cast<size_t>(k)];
    run.save = 0;
    run.writeDir.clear();
    run.active = 0;
    const bool use = r->check1->checkState() == Qt::Checked;
    if (use) model_.displayCount = k + 1;
    if (run.devicePresent != 1 || !use) continue;
    ++taking;
    run.active = 1;
    if (r->check2->checkState() != Qt::Checked) continue;
    run.save = 1;
    QString dir = r->text2->text();
    if (dir.isEmpty()) return tell(model::unitPrefix(k) + QStringLiteral("の書込先デレクトリが未入力です"));
    dir = model::withTrailingSeparator(dir);
    if (!QFileInfo(dir).isDir()) return tell(model::unitPrefix(k) + QStringLiteral("で指定したデレクトリがありません"));
    run.writeDir = dir;
  }
  if (taking == 0) return tell(QStringLiteral("キャプチャーするカメラの指定が有りません"));
  if (!lockWriteDirs()) return;

  clock_.stop();
  hide();

  screens::CaptureScreen& capture = *captureScreen_;
  const int n = model_.displayCount;
  capture.layoutForUnits(n);
  for (int i = 0; i < n; ++i) plenkit_->BitDispWindSet(i, pl::hwndOf(capture.pane(i)->picture1));

  for (int k = 0; k < model::kUnitCount; ++k) {
    UnitRow* r = rows_[static_cast<size_t>(k)];
    screens::UnitPane* p = capture.pane(k);
    model::RunFields& run = model_.run[static_cast<size_t>(k)];
    run.capturePending = 0;
    run.elapsed = 0;
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
      run.interval = publication::wholeNumber(r->combo3->currentText()).value_or(0);
      run.formatNo = publication::positionInList(screens::itemTexts(r->combo2), r->combo2->currentText());
      run.compressionNo = publication::positionInList(screens::itemTexts(r->combo5), r->combo5->currentText());
      run.startFrame = publication::wholeNumber(r->combo4->currentText()).value_or(0);
      p->setEnabled(true);
      screens::setBackColor(p->label8, screens::kCyan);
    } else {
      p->setEnabled(false);
      screens::setBackColor(p->label8, screens::kRed);
      screens::setBackColor(p->label1, screens::inactiveBorderColour());
      run.interval = run.formatNo = run.compressionNo = run.startFrame = 0;
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
  korvex_.SetSafeMode(model_.safeMode);

  setEnabled(false);
  capture.setEnabled(true);
  capture.show();
  plenkit_->ClickMessageSend(pl::hwndOf(capture.startButton()));
}

}  // namespace selvane
