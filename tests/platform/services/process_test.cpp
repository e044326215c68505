// Starting, waiting for and closing child programs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "services_support.h"
#include "testkit/env.h"
#include "testkit/files.h"
#include "testkit/pictures.h"
#include "testkit/wait.h"

namespace {

using svtest::run;
using Clock = std::chrono::steady_clock;

// The helper's report of itself, started with `arguments` and `flags`.
std::string report(const ScratchDir& dir, const std::string& arguments, DWORD flags = 0) {
  const std::string out = dir.file("report.txt");
  ::unlink(out.c_str());
  EXPECT_EQ(run("sv_services_helper report \"" + out + "\" " + arguments, flags), 0);
  return testkit::readFile(out);
}

std::string field(const std::string& text, const std::string& name) {
  const size_t at = text.find(name + "=");
  if (at == std::string::npos) return {};
  const size_t start = at + name.size() + 1;
  return text.substr(start, text.find('\n', start) - start);
}

TEST(ProcessTest, QuotedArgumentsReachTheChildIntact) {
  ScratchDir dir;
  const std::string text = report(dir, "\"a b\" c \"\"  \"/opt/セル ヴァ/Korvex.OCX\" x\"y z\"w");
  EXPECT_NE(text.find("arg=[a b]\narg=[c]\narg=[]\narg=[/opt/セル ヴァ/Korvex.OCX]\narg=[xy zw]\n"), std::string::npos)
      << text;
}

TEST(ProcessTest, NewConsoleGivesTheChildASessionOfItsOwn) {
  ScratchDir dir;
  const std::string own = std::to_string(::getsid(0));
  EXPECT_EQ(field(report(dir, "", 0), "sid"), own);
  const std::string separate = field(report(dir, "", CREATE_NEW_CONSOLE), "sid");
  EXPECT_FALSE(separate.empty());
  EXPECT_NE(separate, own);
}

TEST(ProcessTest, OnlyStandardStreamsAreInherited) {
  ScratchDir dir;
  const int leaky = ::open("/dev/null", O_RDONLY);  // deliberately without O_CLOEXEC
  ASSERT_GE(leaky, 3);
  const std::string fds = field(report(dir, ""), "fds");
  ::close(leaky);
  EXPECT_EQ(fds, "0,1,2");
}

TEST(ProcessTest, WaitTimesOutAndReportsExitCodes) {
  const PL_PROCESS sleeper = pl_StartProcess("/bin/sh -c \"exec sleep 5 </dev/null >/dev/null 2>&1\"", 0);
  ASSERT_NE(sleeper, 0);
  const auto start = Clock::now();
  int code = 42;
  EXPECT_FALSE(pl_WaitProcess(sleeper, 300, &code));
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(290));
  EXPECT_LT(waited, std::chrono::milliseconds(1000));
  EXPECT_EQ(code, 42);
  EXPECT_FALSE(pl_WaitProcess(sleeper, 0, nullptr));
  pl_CloseProcess(sleeper);

  EXPECT_EQ(run("sh -c \"exit 7\""), 7);  // found on PATH
  EXPECT_EQ(run("/bin/sh -c \"kill -9 $$\""), 128 + 9);

  // The result stays with the handle until it is closed.
  const PL_PROCESS done = pl_StartProcess("/bin/true", 0);
  ASSERT_NE(done, 0);
  ASSERT_TRUE(pl_WaitProcess(done, 0xFFFFFFFFu, &code));
  EXPECT_EQ(code, 0);
  code = 42;
  EXPECT_TRUE(pl_WaitProcess(done, 0, &code));
  EXPECT_EQ(code, 0);
  pl_CloseProcess(done);
  EXPECT_FALSE(pl_WaitProcess(done, 0, &code));
}

TEST(ProcessTest, ClosedRunningChildIsReapedWhenItEnds) {
  ScratchDir dir;
  const std::string pidFile = dir.file("pid");
  const PL_PROCESS child = pl_StartProcess(("/bin/sh -c \"echo $$ > '" + pidFile + "'; exec sleep 0.3\"").c_str(), 0);
  ASSERT_NE(child, 0);
  ASSERT_TRUE(waitFor([&] { return testkit::readFile(pidFile).find('\n') != std::string::npos; }, 5000, 10));
  const std::string proc = "/proc/" + std::to_string(std::stoi(testkit::readFile(pidFile)));
  pl_CloseProcess(child);
  struct stat st {};
  EXPECT_TRUE(waitFor([&] { return ::stat(proc.c_str(), &st) != 0; }, 5000, 10)) << proc << " still there (zombie?)";
}

TEST(ProcessTest, ProgramNextToTheExecutableComesBeforePath) {
  ScratchDir dir;
  const std::string marker = dir.file("marker");
  // A decoy of the same name on PATH, and a program found on PATH alone.
  for (const char* name : {"sv_services_helper", "sv-path-only"}) {
    const std::string script = dir.file(name);
    testkit::writeFile(script, "#!/bin/sh\necho " + std::string(name) + " > '" + marker + "'\n");
    ::chmod(script.c_str(), 0755);
  }
  const std::string path = dir.path() + ":/usr/bin:/bin";
  testkit::ScopedEnv env("PATH", path.c_str());

  EXPECT_NE(field(report(dir, ""), "sid"), "");
  EXPECT_EQ(testkit::readFile(marker), "");
  EXPECT_EQ(run("sv-path-only"), 0);
  EXPECT_EQ(testkit::readFile(marker), "sv-path-only\n");
}

TEST(ProcessTest, BadCommandsAndHandlesFailQuietly) {
  EXPECT_EQ(pl_StartProcess(nullptr, 0), 0);
  EXPECT_EQ(pl_StartProcess("", 0), 0);
  EXPECT_EQ(pl_StartProcess("  \t ", 0), 0);
  EXPECT_EQ(pl_StartProcess("sv-no-such-program-anywhere", 0), 0);
  EXPECT_EQ(pl_StartProcess("/nonexistent/regsvr32 /s x", 0), 0);
  int code = 42;
  EXPECT_FALSE(pl_WaitProcess(0, 0, &code));
  EXPECT_FALSE(pl_WaitProcess(-3, 10, &code));
  EXPECT_FALSE(pl_WaitProcess(0x7FFFFFF0, 0, &code));
  EXPECT_EQ(code, 42);
  pl_CloseProcess(0);
  pl_CloseProcess(-3);

  const PL_PROCESS a = pl_StartProcess("/bin/true", 0);
  pl_CloseProcess(a);
  const PL_PROCESS b = pl_StartProcess("/bin/true", 0);
  EXPECT_GT(b, a);  // never reused
  EXPECT_TRUE(pl_WaitProcess(b, 5000, nullptr));
  pl_CloseProcess(b);
}

}  // namespace
