// The control screen program run in-process, offscreen, as its tests, the
// benchmarks and the screenshot tool run it: the real capture control
// (registered beforehand into a throw-away registry, see testkit/com.h), the
// real image library, virtual cameras, and a program directory of its own.
// UI thread only.
#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "control_screen/control_screen.h"
#include "platform/services.h"
#include "platform/wintypes.h"
#include "selvane/model/unit_model.h"

namespace selvane {
class UnitRow;
namespace screens {
class CaptureScreen;
class UnitPane;
}  // namespace screens
}  // namespace selvane

namespace testkit {

// A message box the program raised.
struct Box {
  std::string text;
  UINT type;
};

class ProgramHost {
 public:
  // `cameras` virtual cameras at `fps` frames per second, listed before load.
  // Message boxes take the answers queued in answers_, else `unanswered`
  // (IDYES or IDNO) for a question and OK for the others.
  explicit ProgramHost(int cameras = 3, int fps = 60, int unanswered = IDYES);
  virtual ~ProgramHost();
  ProgramHost(const ProgramHost&) = delete;
  ProgramHost& operator=(const ProgramHost&) = delete;

  // Lists `n` virtual cameras at `fps` frames per second.
  static void cameras(int n, int fps = 60);

  // The settings file of the program directory.
  bool writeSettings(const QByteArray& text) const;
  // Constructs the control screen and runs its load sequence.
  bool load(std::string* why);

  selvane::ControlScreen& controlScreen() { return *controlScreen_; }
  selvane::model::UnitModel& model() { return model_; }
  selvane::UnitRow* row(int k);
  selvane::screens::CaptureScreen& captureScreen();
  selvane::screens::UnitPane* pane(int k);

  // A fresh write directory of its own, ending in '/'.
  QString newDir(const QString& name) const;
  // Ticks unit k's use and save boxes and gives it the write directory
  // "unit<k+1>" (kept if it exists), ending in '/'.
  QString useUnit(int k, bool save = true);
  // Every unit row used and saving, each into a fresh directory "unit<k>",
  // asked every `intervalMs`; `startFrame` set too when given. The
  // directories, unit 1 first.
  QStringList saveEveryUnit(const QString& intervalMs, const QString& startFrame = {});
  // Presses "開始" and waits up to 5 s for the capture screen to run; else
  // `why` is the first message box's text.
  bool start(std::string* why);
  const std::vector<Box>& boxes() const { return boxes_; }

 protected:
  static int onBox(void* self, const char* text, const char* caption, UINT type);

  QTemporaryDir dir_;
  selvane::model::UnitModel model_;
  std::unique_ptr<selvane::ControlScreen> controlScreen_;
  std::vector<Box> boxes_;
  std::deque<int> answers_;
  int unanswered_;
};

}  // namespace testkit
