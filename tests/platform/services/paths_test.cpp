#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFileInfo>

#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/services.h"
#include "testkit/env.h"
#include "testkit/files.h"
#include "testkit/pictures.h"

namespace {

std::string tempPath() {
  char buf[4096];
  const DWORD n = GetTempPathA(sizeof buf, buf);
  return std::string(buf, n);
}

TEST(PathsTest, TempPathFollowsTmpdirAndEndsInSlash) {
  ScratchDir dir;
  for (const std::string& tmpdir : {dir.path(), dir.path() + "/"}) {
    testkit::ScopedEnv env("TMPDIR", tmpdir);
    EXPECT_EQ(tempPath(), dir.path() + "/") << tmpdir;
  }
  const std::string file = dir.file("plain-file");
  testkit::writeFile(file, "x");
  for (const char* unusable : {static_cast<const char*>(nullptr), "", "/nonexistent/tmp", file.c_str()}) {
    testkit::ScopedEnv env("TMPDIR", unusable);
    EXPECT_EQ(tempPath(), "/tmp/") << (unusable ? unusable : "(unset)");
  }
}

TEST(PathsTest, SmallBufferGetsTheNeededSizeAndStaysUntouched) {
  testkit::ScopedEnv env("TMPDIR", nullptr);
  char buf[16];
  std::memset(buf, 'Z', sizeof buf);
  EXPECT_EQ(GetTempPathA(5, buf), 6u);  // "/tmp/" and its NUL
  EXPECT_EQ(buf[0], 'Z');
  EXPECT_EQ(GetTempPathA(0, nullptr), 6u);
  EXPECT_EQ(GetTempPathA(6, buf), 5u);
  EXPECT_STREQ(buf, "/tmp/");
  EXPECT_EQ(buf[6], 'Z');

  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  const DWORD len = static_cast<DWORD>(std::strlen(cwd));
  std::memset(buf, 'Z', sizeof buf);
  EXPECT_EQ(GetCurrentDirectoryA(1, buf), len + 1);
  EXPECT_EQ(buf[0], 'Z');
  char big[4096];
  EXPECT_EQ(GetCurrentDirectoryA(sizeof big, big), len);
  EXPECT_STREQ(big, cwd);

  std::memset(buf, 'Z', sizeof buf);
  const DWORD need = pl_ProgramDirectory(1, buf);
  EXPECT_GT(need, 1u);
  EXPECT_EQ(buf[0], 'Z');
}

TEST(PathsTest, ProgramDirectoryIsTheExecutablesWithoutSlash) {
  char buf[4096];
  const DWORD n = pl_ProgramDirectory(sizeof buf, buf);
  ASSERT_GT(n, 0u);
  const std::string dir(buf, n);
  EXPECT_NE(dir.back(), '/');
  EXPECT_EQ(QFileInfo(QString::fromStdString(dir)).canonicalFilePath(),
            QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath());
}

}  // namespace
