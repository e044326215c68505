// The file dialog, the temporary directory and the registration command.
#include <QLineEdit>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/qt_bridge.h"
#include "platform/services.h"
#include "platform/window.h"
#include "plenkit_fixture.h"
#include "testkit/env.h"
#include "testkit/files.h"
#include "testkit/wait.h"

namespace {

using UtilityTest = PlenkitTest;

std::string textOf(HWND h) {
  char buffer[2048] = {};
  GetWindowTextA(h, buffer, sizeof buffer);
  return buffer;
}

// Stands in for the file dialog while it lives: what the dialog was given,
// and what it answers.
struct DialogScript {
  DialogScript() { pl_SetFileDialogHook(&DialogScript::hook, this); }
  ~DialogScript() { pl_SetFileDialogHook(nullptr, nullptr); }
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  bool choose = true;
  std::string answer;
  std::string filter;  // the list up to and including its double zero
  std::string file, directory;
  OPENFILENAMEA given{};  // its texts only while the dialog runs: kept above
  int calls = 0;

  static BOOL hook(void* context, const OPENFILENAMEA* ofn, char* path, DWORD max) {
    auto* self = static_cast<DialogScript*>(context);
    ++self->calls;
    self->given = *ofn;
    self->file = ofn->lpstrFile;
    self->directory = ofn->lpstrInitialDir;
    if (const char* f = ofn->lpstrFilter) {
      size_t n = 0;
      while (f[n] != '\0' || f[n + 1] != '\0') ++n;
      self->filter.assign(f, n + 2);
    }
    if (!self->choose) return FALSE;
    std::snprintf(path, max, "%s", self->answer.c_str());
    return TRUE;
  }
};

TEST_F(UtilityTest, GetDirNameHandsTheDialogAZeroSeparatedFilterAndReturnsThePathAsText) {
  QLineEdit text;
  text.setText("before");
  const HWND h = pl::hwndOf(&text);
  DialogScript script;
  script.answer = "/srv/監視/送信ファイル.BMP";

  const std::string description = "監視カメラ送信BMPファイル (*.BMP)";
  ASSERT_EQ(api.GetDirName("/srv/監視", "送信ファイル", (description + "\n*.BMP\n").c_str(), h), 0);
  EXPECT_EQ(script.filter, description + '\0' + "*.BMP" + '\0' + '\0');
  EXPECT_EQ(script.file, "送信ファイル");
  EXPECT_EQ(script.directory, "/srv/監視");
  EXPECT_EQ(script.given.hwndOwner, h);
  EXPECT_EQ(script.given.Flags, 0x808u);
  EXPECT_EQ(script.given.nFilterIndex, 1u);
  EXPECT_EQ(text.text().toStdString(), script.answer);

  script.choose = false;
  script.filter.clear();
  text.setText("kept");
  EXPECT_EQ(api.GetDirName(nullptr, nullptr, nullptr, h), 1);
  EXPECT_EQ(text.text(), "kept");
  EXPECT_TRUE(script.filter.empty()) << "no filter given, none passed";

  const int calls = script.calls;
  script.choose = true;
  EXPECT_EQ(api.GetDirName("/", "x", "a\n*\n", 0x7FFFFFF0u), 1) << "unknown window";
  EXPECT_EQ(script.calls, calls) << "no dialog without a window to answer in";
}

TEST_F(UtilityTest, GetTempDirWritesTheTemporaryOrElseTheCurrentDirectory) {
  QLineEdit text;
  const HWND h = pl::hwndOf(&text);
  {
    testkit::ScopedEnv tmp("TMPDIR", dir.path());
    ASSERT_EQ(api.GetTempDir(h), 0);
    EXPECT_EQ(textOf(h), dir.path() + "/");
  }
  {
    // A temporary path too long for the 1,024-byte buffer.
    std::string deep = dir.path();
    while (deep.size() < 1100) deep += "/" + std::string(200, 'd');
    std::filesystem::create_directories(deep);
    testkit::ScopedEnv tmp("TMPDIR", deep);
    ASSERT_EQ(api.GetTempDir(h), 0);
    EXPECT_EQ(textOf(h), std::filesystem::current_path().string());
  }
  EXPECT_EQ(api.GetTempDir(0x7FFFFFF0u), 1);
}

TEST_F(UtilityTest, RegEntrySetRunsRegsvr32AndWaitsAtMostTwoSeconds) {
  const std::string bin = dir.file("bin");
  std::filesystem::create_directories(bin);
  const std::string log = dir.file("args.txt");
  // A registration tool that takes its time.
  const std::string script = "#!/bin/sh\nsleep 3\nprintf '%s|' \"$@\" > '" + log + "'\n";
  writeBytes(bin + "/regsvr32", Bytes(script.begin(), script.end()));
  std::filesystem::permissions(bin + "/regsvr32", std::filesystem::perms::owner_all);
  testkit::ScopedEnv path("PATH", bin + ":/usr/bin:/bin");

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(api.RegEntrySet("/s /u \"/opt/selvane/Korvex.OCX\""), 0);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(1900));
  EXPECT_LT(waited, std::chrono::milliseconds(2900));
  EXPECT_FALSE(std::filesystem::exists(log)) << "still running when the call returned";
  waitFor([&] { return std::filesystem::exists(log); }, 6000, 100);
  EXPECT_EQ(testkit::readFile(log), "/s|/u|/opt/selvane/Korvex.OCX|");

  testkit::ScopedEnv nowhere("PATH", dir.file("empty"));
  EXPECT_EQ(api.RegEntrySet("/s x"), 0) << "no regsvr32 to start";
  EXPECT_EQ(api.RegEntrySet(nullptr), 0);
}

}  // namespace
