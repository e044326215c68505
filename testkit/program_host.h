// The control screen program run in-process, offscreen, as its tests run it:
// the real capture control (registered by main into a throw-away registry),
// the real image library, virtual cameras, and a program directory of its own.
#pragma once
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "control_screen/control_screen.h"
#include "platform/wintypes.h"
#include "selvane/model/unit_model.h"

namespace appbench {

class ProgramHost {
 public:
  // `cameras` virtual cameras at `fps` frames per second, listed before load.
  ProgramHost(int cameras, int fps);
  ~ProgramHost();
  ProgramHost(const ProgramHost&) = delete;
  ProgramHost& operator=(const ProgramHost&) = delete;

  // Constructs the control screen and runs its load sequence.
  bool load(std::string* why);

  selvane::ControlScreen& controlScreen() { return *controlScreen_; }
  selvane::model::UnitModel& model() { return model_; }
  // A fresh write directory of its own, ending in '/'.
  QString newDir(const QString& name) const;
  // Every unit row used and saving, each into a fresh directory "unit<k>",
  // asked every `intervalMs`; `startFrame` set too when given. The
  // directories, unit 1 first.
  QStringList saveEveryUnit(const QString& intervalMs, const QString& startFrame = {});
  // Texts of the message boxes the program raised (each answered Yes / OK).
  const std::vector<std::string>& boxes() const { return boxes_; }

 private:
  static int onBox(void* self, const char* text, const char* caption, UINT type);

  QTemporaryDir dir_;
  selvane::model::UnitModel model_;
  std::unique_ptr<selvane::ControlScreen> controlScreen_;
  std::vector<std::string> boxes_;
};

}  // namespace appbench
