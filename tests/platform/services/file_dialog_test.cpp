#include <gtest/gtest.h>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>

#include <cstring>
#include <string>

#include "services_support.h"
#include "testkit/env.h"
#include "testkit/files.h"
#include "testkit/pictures.h"

namespace {

// The filter list the control screen builds for its directory choice.
const char kFilter[] = "監視カメラ送信BMPファイル (*.BMP)\0*.BMP\0すべてのファイル (*.*)\0*.*\0";

struct HookAnswer {
  const char* path = nullptr;
  const OPENFILENAMEA* seen = nullptr;
  std::string seenFile{};
};

BOOL answeringHook(void* context, const OPENFILENAMEA* ofn, char* path, DWORD max) {
  auto* answer = static_cast<HookAnswer*>(context);
  answer->seen = ofn;
  answer->seenFile = ofn->lpstrFile;
  if (!answer->path || std::strlen(answer->path) + 1 > max) return FALSE;
  std::strcpy(path, answer->path);
  return TRUE;
}

class FileDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(buffer_, 'Z', sizeof buffer_);
    std::strcpy(buffer_, "送信ファイル");
    ofn_.lStructSize = sizeof ofn_;
    ofn_.lpstrFilter = kFilter;
    ofn_.nFilterIndex = 1;
    ofn_.lpstrFile = buffer_;
    ofn_.nMaxFile = 1024;
    ofn_.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  }
  void TearDown() override { pl_SetFileDialogHook(nullptr, nullptr); }

  testkit::ScopedEnv answer_{"PL_FILEDIALOG_ANSWER", nullptr};
  char buffer_[1100];
  OPENFILENAMEA ofn_{};
};

TEST_F(FileDialogTest, HookChoosesAndSeesTheRecord) {
  HookAnswer answer{"/data/cam1/x.bmp"};
  pl_SetFileDialogHook(answeringHook, &answer);
  testkit::ScopedEnv env("PL_FILEDIALOG_ANSWER", "/elsewhere/y.bmp");  // the hook comes first

  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_STREQ(buffer_, "/data/cam1/x.bmp");
  EXPECT_EQ(answer.seen, &ofn_);
  EXPECT_EQ(answer.seenFile, "送信ファイル");

  answer.path = nullptr;  // cancelled
  std::strcpy(buffer_, "keep");
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  EXPECT_STREQ(buffer_, "keep");
}

TEST_F(FileDialogTest, PathLongerThanTheBufferFailsWithoutOverrun) {
  HookAnswer answer{"/data/cam1/x.bmp"};  // 16 bytes and a NUL
  pl_SetFileDialogHook(answeringHook, &answer);

  std::memset(buffer_, 'Z', sizeof buffer_);
  std::strcpy(buffer_, "x.bmp");
  ofn_.nMaxFile = 16;
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  for (size_t i = 16; i < 64; ++i) ASSERT_EQ(buffer_[i], 'Z') << i;

  ofn_.nMaxFile = 17;
  EXPECT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_STREQ(buffer_, "/data/cam1/x.bmp");
  EXPECT_EQ(buffer_[17], 'Z');

  ofn_.nMaxFile = 0;
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  EXPECT_FALSE(GetOpenFileNameA(nullptr));
}

TEST_F(FileDialogTest, EnvironmentAnswersAndEmptyCancels) {
  {
    testkit::ScopedEnv env("PL_FILEDIALOG_ANSWER", "/data/cam2/z.bmp");
    ASSERT_TRUE(GetOpenFileNameA(&ofn_));
    EXPECT_STREQ(buffer_, "/data/cam2/z.bmp");
  }
  testkit::ScopedEnv env("PL_FILEDIALOG_ANSWER", "");
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
}

TEST_F(FileDialogTest, RealDialogShowsTheFiltersAndReturnsTheChoice) {
  ScratchDir dir;
  testkit::writeFile(dir.file("x.bmp"), "BM");
  ofn_.lpstrInitialDir = dir.path().c_str();
  ofn_.nFilterIndex = 2;

  QStringList filters;
  QString selectedFilter, shownDir, typedOver;
  bool nonNative = false;
  svtest::whenModalAppears([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    filters = dialog->nameFilters();
    selectedFilter = dialog->selectedNameFilter();
    shownDir = dialog->directory().absolutePath();
    nonNative = dialog->testOption(QFileDialog::DontUseNativeDialog);
    // Typed as the operator would (selectFile leaves a focused name field alone).
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    typedOver = name->text();
    name->setText(QStringLiteral("x.bmp"));
    QMetaObject::invokeMethod(dialog, "accept");
  });
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(filters, QStringList({QStringLiteral("監視カメラ送信BMPファイル (*.BMP)"),
                                  QStringLiteral("すべてのファイル (*.*)")}));
  EXPECT_EQ(selectedFilter, filters.value(1));
  EXPECT_EQ(shownDir, QString::fromStdString(dir.path()));
  EXPECT_TRUE(nonNative);
  EXPECT_EQ(typedOver, QStringLiteral("送信ファイル"));
  EXPECT_EQ(std::string(buffer_), dir.file("x.bmp"));

  // The operator confirms the offered name: any name in an existing
  // directory will do, the file itself need not exist.
  std::strcpy(buffer_, "送信ファイル");
  svtest::whenModalAppears([](QWidget* modal) { qobject_cast<QDialog*>(modal)->accept(); });
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(std::string(buffer_), dir.file("送信ファイル"));

  std::strcpy(buffer_, "keep");
  svtest::whenModalAppears([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  EXPECT_STREQ(buffer_, "keep");
}

}  // namespace
