#include "program_host.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>

#include <vector>

#include "control_screen/unit_row.h"
#include "camera/testing.h"
#include "platform/services.h"

namespace appbench {

ProgramHost::ProgramHost(int cameras, int fps) {
  std::vector<CG_VCAM_SPEC> specs(static_cast<size_t>(cameras), CG_VCAM_SPEC{nullptr, nullptr, 0, fps, 0});
  cg_SetVirtualCameras(specs.data(), cameras);
  pl_SetMessageBoxHook(&ProgramHost::onBox, this);
}

ProgramHost::~ProgramHost() {
  if (controlScreen_) {
    controlScreen_->close();  // the closing question is answered Yes
    controlScreen_.reset();
  }
  pl_SetMessageBoxHook(nullptr, nullptr);
  cg_SetVirtualCameras(nullptr, 0);
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

QString ProgramHost::newDir(const QString& name) const {
  const QString path = dir_.filePath(name);
  QDir(path).removeRecursively();
  QDir().mkpath(path);
  return path + QLatin1Char('/');
}

QStringList ProgramHost::saveEveryUnit(const QString& intervalMs, const QString& startFrame) {
  QStringList dirs;
  for (int k = 0; k < selvane::model::kUnitCount; ++k) {
    selvane::UnitRow* r = controlScreen_->row(k);
    r->check1->setChecked(true);
    r->check2->setChecked(true);
    dirs << newDir(QStringLiteral("unit%1").arg(k + 1));
    r->text2->setText(dirs.back());
    r->combo3->setCurrentText(intervalMs);
    if (!startFrame.isEmpty()) r->combo4->setCurrentText(startFrame);
  }
  return dirs;
}

int ProgramHost::onBox(void* self, const char* text, const char*, UINT type) {
  static_cast<ProgramHost*>(self)->boxes_.emplace_back(text != nullptr ? text : "");
  return (type & MB_YESNO) != 0 ? IDYES : IDOK;
}

}  // namespace appbench
