// Runs the control screen program in-process, offscreen (testkit's
// ProgramHost): the real capture control (registered into a temporary
// registry for the suite), the real image library, virtual cameras, and a
// program directory of the test's own. Unanswered questions are answered No.
#pragma once
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <memory>
#include <string>
#include <vector>

#include "camera/testing.h"
#include "control_screen/control_screen.h"
#include "control_screen/unit_row.h"
#include "platform/services.h"
#include "screens/capture_screen.h"
#include "screens/full_screen_view.h"
#include "screens/unit_pane.h"
#include "screens/widgets.h"
#include "testkit/com.h"
#include "testkit/program_host.h"
#include "testkit/wait.h"

namespace apptest {

// A settings file line of a unit not in use, with the list defaults.
inline const QByteArray kUnusedUnitLine = "\"0\",\"0\",\"\",\"640*480\",\"5000\",\"10\",\"RGB\",\"\"\r\n";

class AppTest : public ::testing::Test, protected testkit::ProgramHost {
 protected:
  AppTest() : ProgramHost(3, 60, IDNO) {}
  static void SetUpTestSuite() {
    selvane::screens::applyProgramLook();  // the shipped style and Japanese font
    server_ = std::make_unique<comtest::RegisteredServer>("Korvex.OCX");
    ASSERT_EQ(server_->result().exitCode, 0) << server_->result().errors.toStdString();
  }
  static void TearDownTestSuite() { server_.reset(); }

  void writeSettings(const QByteArray& text) { ASSERT_TRUE(ProgramHost::writeSettings(text)); }
  void load() {
    std::string why;
    ASSERT_TRUE(ProgramHost::load(&why)) << why;
  }
  // Presses "開始" and waits for the capture screen to run.
  void start() {
    std::string why;
    ASSERT_TRUE(ProgramHost::start(&why)) << why;
  }
  selvane::CaptureScheduler& scheduler() { return controlScreen_->captureRun().scheduler(); }
  // One capture of unit k through the real control, handled by the program.
  void captureOnce(int k, int fmtno = 33) {
    selvane::model::RunFields& run = model_.run[static_cast<size_t>(k)];
    run.capturePending = 1;
    ASSERT_EQ(controlScreen_->korvex().CaptureGo(k + 1, fmtno, 5), 0);
    ASSERT_TRUE(waitUntil([&] { return run.capturePending == 0; }, 10000));
  }

  static inline std::unique_ptr<comtest::RegisteredServer> server_;
};

}  // namespace apptest
