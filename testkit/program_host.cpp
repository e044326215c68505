#include "testkit/program_host.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>

#include <vector>

#include "camera/testing.h"
#include "control_screen/unit_row.h"
#include "platform/services.h"
#include "screens/capture_screen.h"
#include "testkit/files.h"
#include "testkit/wait.h"

namespace testkit {

ProgramHost::ProgramHost(int cameras, int fps, int unanswered) : unanswered_(unanswered) {
  ProgramHost::cameras(cameras, fps);
  pl_SetMessageBoxHook(&ProgramHost::onBox, this);
}

ProgramHost::~ProgramHost() {
  if (controlScreen_) {
    answers_.push_back(IDYES);  // the closing question
    controlScreen_->close();
    controlScreen_.reset();
  }
  pl_SetMessageBoxHook(nullptr, nullptr);
  cg_SetVirtualCameras(nullptr, 0);
}

void ProgramHost::cameras(int n, int fps) {
  std::vector<CG_VCAM_SPEC> specs(static_cast<size_t>(n), CG_VCAM_SPEC{nullptr, nullptr, 0, fps, 0});
  cg_SetVirtualCameras(specs.data(), n);
}

bool ProgramHost::writeSettings(const QByteArray& text) const {
  return writeFile(dir_.filePath(QStringLiteral("selvanedir.ini")), text);
}

bool ProgramHost::load(std::string* why) {
  if (!dir_.isValid()) {
    *why = "no temporary program directory";
    return false;
  }
  controlScreen_ = std::make_unique<selvane::ControlScreen>(model_);
  QString error;
  if (!controlScreen_->load(&error, dir_.path())) {
    *why = error.toStdString();
    controlScreen_.reset();
    return false;
  }
  return true;
}

selvane::UnitRow* ProgramHost::row(int k) { return controlScreen_->row(k); }
selvane::screens::CaptureScreen& ProgramHost::captureScreen() { return *controlScreen_->captureScreen(); }
selvane::screens::UnitPane* ProgramHost::pane(int k) { return captureScreen().pane(k); }

QString ProgramHost::newDir(const QString& name) const {
  const QString path = dir_.filePath(name);
  QDir(path).removeRecursively();
  QDir().mkpath(path);
  return path + QLatin1Char('/');
}

QString ProgramHost::useUnit(int k, bool save) {
  row(k)->check1->setChecked(true);
  row(k)->check2->setChecked(save);
  const QString path = dir_.filePath(QStringLiteral("unit%1").arg(k + 1));
  QDir().mkpath(path);
  row(k)->text2->setText(path);
  return path + QLatin1Char('/');
}

QStringList ProgramHost::saveEveryUnit(const QString& intervalMs, const QString& startFrame) {
  QStringList dirs;
  for (int k = 0; k < selvane::model::kUnitCount; ++k) {
    selvane::UnitRow* r = row(k);
    r->check1->setChecked(true);
    r->check2->setChecked(true);
    dirs << newDir(QStringLiteral("unit%1").arg(k + 1));
    r->text2->setText(dirs.back());
    r->combo3->setCurrentText(intervalMs);
    if (!startFrame.isEmpty()) r->combo4->setCurrentText(startFrame);
  }
  return dirs;
}

bool ProgramHost::start(std::string* why) {
  controlScreen_->startButton()->click();
  if (waitUntil([&] { return captureScreen().running(); }, 5000)) return true;
  *why = boxes_.empty() ? "the capture screen did not start" : boxes_.front().text;
  return false;
}

int ProgramHost::onBox(void* self, const char* text, const char*, UINT type) {
  auto* host = static_cast<ProgramHost*>(self);
  host->boxes_.push_back({text != nullptr ? text : "", type});
  if (host->answers_.empty()) return (type & MB_YESNO) != 0 ? host->unanswered_ : IDOK;
  const int answer = host->answers_.front();
  host->answers_.pop_front();
  return answer;
}

}  // namespace testkit
