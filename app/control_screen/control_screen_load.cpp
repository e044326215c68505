// The control screen's load sequence.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <csignal>

#include "clients/plenkit_client.h"
#include "control_screen/camera_access.h"
#include "control_screen/control_screen.h"
#include "control_screen/unit_row.h"
#include "platform/qt_bridge.h"
#include "platform/services.h"
#include "screens/capture_screen.h"
#include "screens/full_screen_view.h"
#include "screens/widgets.h"
#include "selvane/model/text_helpers.h"

namespace selvane {

bool ControlScreen::load(QString* error, const QString& programDirOverride) {
  // Both pieces next to the program must be there before anything else.
  QString reason;
  plenkit_ = Plenkit::load(&reason);
  if (!plenkit_) {
    *error = QStringLiteral(
                 "画像ライブラリ libplenkit.so を読み込めません。\n%1\n"
                 "プログラムと同じフォルダーに libplenkit.so と libquillo.so を置いてください。")
                 .arg(reason);
    return false;
  }
  fullScreenView_ = std::make_unique<screens::FullScreenView>(model_);
  // Texts the control and the library write by handle arrive in Text7.
  const TextReceiver text7{pl::hwndOf(text7_), [this] { return text7_->text(); }};
  if (!run_.createControl(pl::hwndOf(this), plenkit_, text7, &reason)) {
    *error = QStringLiteral(
                 "撮影コントロール Korvex.OCX を作成できません (%1)。\n"
                 "登録プログラム brimlay を実行してコントロールを登録してください。")
                 .arg(reason);
    return false;
  }

  char dir[4096];
  QString programDir = programDirOverride;
  if (programDir.isEmpty()) {
    programDir = pl_ProgramDirectory(sizeof dir, dir) > 0 ? QString::fromUtf8(dir) : QDir::currentPath();
  }
  model_.startupDir = model::withTrailingSeparator(programDir);
  QDir::setCurrent(model_.startupDir);
  // The frame file goes into a directory of this copy's own, under the
  // session's or the system's temporary directory.
  const QString tempBase =
      plenkit_->GetTempDir(pl::hwndOf(text7_)) == 0 ? model::withTrailingSeparator(text7_->text()) : model_.startupDir;
  run_.makeTempDir(tempBase);
  // A file-size limit makes a write fail (and the picture unpublished)
  // instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  model_.jpegQuality = 50;
  model_.fullScreenShown = 0;
  model_.fullScreenUnit = 0;
  model_.resetAdjustments();
  model_.sendFormat = model::kSendJpeg;
  model_.safeMode = 1;
  korvex().InitCapture(6);
  model_.controlScreenRunning = 1;
  combo1_->hide();
  option1_->setChecked(true);
  text5_->setText(model_.startupDir);

  model_.settings = model::settingsLocation(model_.startupDir);
  loadSettingsFile();

  korvex().GetUsbDevice(pl::hwndOf(combo1_));
  tellForbiddenCameras(pl::hwndOf(this));
  text3_->setText(QString::number(combo1_->count()));
  enableRowsByCameras();

  adjustSize();
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  captureScreen_ = std::make_unique<screens::CaptureScreen>(model_, run_, plenkit_, fullScreenView_.get());
  captureScreen_->flashTimer().start();
  captureScreen_->openHelpScreen = [this] { openHelp(1); };
  captureScreen_->closeHelpScreen = [this] { closeHelp(); };
  run_.setView(captureScreen_.get());
  connect(captureScreen_.get(), &screens::CaptureScreen::returnedToControlScreen, this,
          &ControlScreen::returnFromCapture);
  connect(fullScreenView_.get(), &screens::FullScreenView::closedByClick, this, [this] {
    captureScreen_->setEnabled(true);
    captureScreen_->show();
  });
  clock_.start();
  show();
  captureScreen_->hide();
  fullScreenView_->hide();
  return true;
}

void ControlScreen::loadSettingsFile() {
  QString problem;
  const QString dir = model_.settings.loadDir();
  if (model::loadSettings(dir, *this, model_, &problem) == model::LoadOutcome::Unreadable) {
    // Said once where the operator looks and once in the log: the rows on
    // the screen are then not the saved ones.
    const QString path = model::settingsFilePath(dir);
    qWarning("selvane: cannot read the settings file %s: %s", qUtf8Printable(path), qUtf8Printable(problem));
    const QString message =
        path + QStringLiteral("\r\nを読み込めませんでした（%1）。ファイルの読取権限を確認してください。").arg(problem);
    MessageBoxA(pl::hwndOf(this), message.toUtf8().constData(), nullptr, MB_OK | MB_ICONWARNING);
  }
  setJpegQuality(model_.jpegQuality);  // the quality label shows the loaded one
  if (model_.sendFormat != 0)
    option4_->setChecked(true);
  else
    option3_->setChecked(true);
}

void ControlScreen::enableRowsByCameras() {
  const int cameras = combo1_->count();
  for (int k = 0; k < model::kUnitCount; ++k) {
    UnitRow* r = rows_[static_cast<size_t>(k)];
    model::RunFields& run = model_.run[static_cast<size_t>(k)];
    r->check1->setEnabled(true);
    if (k >= cameras) {
      run.devicePresent = 0;
      for (QWidget* w :
           {static_cast<QWidget*>(r->text1), static_cast<QWidget*>(r->check2), static_cast<QWidget*>(r->text2),
            static_cast<QWidget*>(r->combo2), static_cast<QWidget*>(r->combo3), static_cast<QWidget*>(r->combo4),
            static_cast<QWidget*>(r->combo5), static_cast<QWidget*>(r->command1), static_cast<QWidget*>(r->command5),
            static_cast<QWidget*>(r->command7)})
        w->setEnabled(false);
      r->setGreyed(true);
      continue;
    }
    run.devicePresent = 1;
    r->text1->setText(combo1_->itemText(k));
    for (QWidget* w :
         {static_cast<QWidget*>(r->text1), static_cast<QWidget*>(r->combo2), static_cast<QWidget*>(r->combo3),
          static_cast<QWidget*>(r->combo4), static_cast<QWidget*>(r->combo5), static_cast<QWidget*>(r->command5),
          static_cast<QWidget*>(r->command7)})
      w->setEnabled(true);
    useBoxClicked(k);  // the save box and directory follow the use box
  }
}

}  // namespace selvane
