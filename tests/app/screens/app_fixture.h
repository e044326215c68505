// Runs the control screen program in-process, offscreen: the real capture
// control (registered into a temporary registry), the real image library,
// virtual cameras, and a program directory of the test's own.
#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "com_test_util.h"
#include "control_screen/control_screen.h"
#include "control_screen/unit_row.h"
#include "camera/testing.h"
#include "platform/services.h"
#include "screens/capture_screen.h"
#include "screens/full_screen_view.h"
#include "screens/unit_pane.h"
#include "screens/widgets.h"
#include "wait_until.h"

namespace apptest {

struct Box {
  std::string text;
  UINT type;
};

class AppTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    selvane::screens::applyProgramLook();  // the shipped style and Japanese font
    server_ = std::make_unique<comtest::RegisteredServer>("Korvex.OCX");
    ASSERT_EQ(server_->result().exitCode, 0) << server_->result().errors.toStdString();
  }
  static void TearDownTestSuite() { server_.reset(); }

  void SetUp() override {
    cameras(3);
    pl_SetMessageBoxHook(&AppTest::onBox, this);
  }
  void TearDown() override {
    if (controlScreen_) {
      answers_.push_back(IDYES);
      controlScreen_->close();
      controlScreen_.reset();
    }
    pl_SetMessageBoxHook(nullptr, nullptr);
    cg_SetVirtualCameras(nullptr, 0);
  }

  static void cameras(int n, int fps = 60) {
    std::vector<CG_VCAM_SPEC> specs(static_cast<size_t>(n), CG_VCAM_SPEC{nullptr, nullptr, 0, fps, 0});
    cg_SetVirtualCameras(specs.data(), n);
  }

  void writeSettings(const QByteArray& text) {
    QFile f(dir_.filePath("selvanedir.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }

  void load() {
    controlScreen_ = std::make_unique<selvane::ControlScreen>(model_);
    QString error;
    ASSERT_TRUE(controlScreen_->load(&error, dir_.path())) << error.toStdString();
  }

  selvane::UnitRow* row(int k) { return controlScreen_->row(k); }
  selvane::screens::CaptureScreen& captureScreen() { return *controlScreen_->captureScreen(); }
  selvane::screens::UnitPane* pane(int k) { return captureScreen().pane(k); }

  // Ticks unit k's use and save boxes and gives it a write directory.
  QString useUnit(int k, bool save = true) {
    row(k)->check1->setChecked(true);
    row(k)->check2->setChecked(save);
    const QString path = dir_.filePath(QStringLiteral("unit%1").arg(k + 1));
    QDir().mkpath(path);
    row(k)->text2->setText(path);
    return path + "/";
  }

  static int onBox(void* self, const char* text, const char*, UINT type) {
    auto* t = static_cast<AppTest*>(self);
    t->boxes_.push_back({text, type});
    if (t->answers_.empty()) return (type & MB_YESNO) ? IDNO : IDOK;
    const int a = t->answers_.front();
    t->answers_.pop_front();
    return a;
  }

  static inline std::unique_ptr<comtest::RegisteredServer> server_;
  QTemporaryDir dir_;
  selvane::model::UnitModel model_;
  std::unique_ptr<selvane::ControlScreen> controlScreen_;
  std::vector<Box> boxes_;
  std::deque<int> answers_;
};

}  // namespace apptest
