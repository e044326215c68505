// The control screen's commands: close, save, reload, reset, DIR, JPEG
// quality, and the screens it opens.
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "clients/plenkit_client.h"
#include "control_screen/control_screen.h"
#include "control_screen/unit_row.h"
#include "platform/qt_bridge.h"
#include "platform/services.h"
#include "screens/camera_test_screen.h"
#include "screens/capture_screen.h"
#include "screens/full_screen_view.h"
#include "screens/help_screen.h"
#include "screens/processing_dialog.h"
#include "screens/widgets.h"
#include "selvane/model/text_helpers.h"
#include "selvane/publication/list_rules.h"

namespace selvane {

void ControlScreen::setJpegQuality(int quality) {
  model_.jpegQuality = quality;
  label10_->setText(QString::number(quality));
  label10_->setAccessibleName(label10_->text());
}

void ControlScreen::reloadSettings() { loadSettingsFile(); }

void ControlScreen::resetUnitSettings() {
  for (int k = 0; k < model::kUnitCount; ++k) {
    UnitRow* r = rows_[static_cast<size_t>(k)];
    r->combo2->setCurrentIndex(r->combo2->findText(QStringLiteral("640*480")));
    r->text2->clear();
    r->combo3->setCurrentIndex(r->combo3->findText(QStringLiteral("5000")));
    r->combo4->setCurrentIndex(r->combo4->findText(QStringLiteral("10")));
    r->combo5->setCurrentIndex(r->combo5->findText(QStringLiteral("I420")));
    if (k >= combo1_->count()) {
      for (QWidget* w :
           {static_cast<QWidget*>(r->text1), static_cast<QWidget*>(r->text2), static_cast<QWidget*>(r->combo3)})
        screens::setBackColor(w, screens::kGrey);
    }
  }
  model_.resetAdjustments();
}

void ControlScreen::saveSettingsAsked() {
  const QString path = model::settingsFilePath(model_.settings.dir);
  const QString question = path + QStringLiteral("\r\nを保存しますか？");
  if (MessageBoxA(pl::hwndOf(this), question.toUtf8().constData(), nullptr, MB_YESNO) != IDYES) return;
  if (!model::saveSettings(model_.settings.dir, rowSnapshot(), model_)) {
    // Reported, unlike before: a silent failure loses the operator's settings.
    const QString message =
        path + QStringLiteral("\r\nを保存できませんでした。フォルダーの書込権限を確認してください。");
    MessageBoxA(pl::hwndOf(this), message.toUtf8().constData(), nullptr, MB_OK | MB_ICONERROR);
  }
}

void ControlScreen::chooseWriteDir(int k) {
  if (!plenkit_) return;
  UnitRow* r = rows_[static_cast<size_t>(k)];
  const QByteArray filter =
      QStringLiteral("監視カメラ送信BMPファイル (*.BMP)\n*.BMP\nすべてのファイル (*.*)\n*.*\n").toUtf8();
  const QByteArray initialDir = r->text2->text().toUtf8();
  const QByteArray initialFile = QStringLiteral("送信ファイル").toUtf8();
  if (plenkit_->GetDirName(initialDir.constData(), initialFile.constData(), filter.constData(), pl::hwndOf(text7_)) ==
      0) {
    r->text2->setText(model::directoryPart(text7_->text()));
  }
}

void ControlScreen::tick() {
  clock_.stop();
  text4_->setText(QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
  clock_.start();
}

void ControlScreen::closeEvent(QCloseEvent* event) {
  if (closing_) return event->accept();
  if (MessageBoxA(pl::hwndOf(this), "処理を終了いたしますか？", nullptr, MB_YESNO) != IDYES) {
    event->ignore();
    return;
  }
  endRun();
  event->accept();
}

void ControlScreen::endWithoutAsking() {
  if (!closing_) endRun();
  run_.releaseWriteDirs();
  if (processing_) processing_->close();
  if (cameraTest_) cameraTest_->close();
  close();
  QCoreApplication::quit();
}

void ControlScreen::endRun() {
  closing_ = true;
  if (run_.running()) run_.end();  // no tick asks the control for a picture after this
  korvex().EndCapture();
  model_.controlScreenRunning = 0;
  if (model_.helpOpen == 1) {
    closeHelp();
    setEnabled(true);
  }
  if (captureScreen_) captureScreen_->close();
  if (fullScreenView_) fullScreenView_->close();
  WinHelpA(pl::hwndOf(this), helpFile().toUtf8().constData(), HELP_QUIT, 0);
}

void ControlScreen::openCameraTest(int k) {
  UnitRow* r = rows_[static_cast<size_t>(k)];
  model_.testUnit = k;
  model_.testFormatNo = publication::positionInList(screens::itemTexts(r->combo2), r->combo2->currentText());
  model_.testCompressionNo = publication::positionInList(screens::itemTexts(r->combo5), r->combo5->currentText());
  clock_.stop();
  setEnabled(false);
  cameraTest_ = new screens::CameraTestScreen(model_, korvex(), r->text1->text(), [this] {
    clock_.start();
    setEnabled(true);
  });
}

void ControlScreen::openProcessing(int k) {
  model_.editedUnit = k;
  setEnabled(false);
  processing_ = new screens::ProcessingDialog(model_, this);
}

void ControlScreen::openHelp(int opener) {
  QWidget* openerScreen = opener == 1 ? static_cast<QWidget*>(captureScreen_.get()) : this;
  help_ = new screens::HelpScreen(model_, openerScreen);
}

screens::HelpScreen* ControlScreen::helpScreen() const { return help_; }
screens::ProcessingDialog* ControlScreen::processingScreen() const { return processing_; }
screens::CameraTestScreen* ControlScreen::cameraTestScreen() const { return cameraTest_; }

void ControlScreen::closeHelp() {
  if (help_) help_->close();
}

}  // namespace selvane
