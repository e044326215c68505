#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QtTest/QTest>

#include <atomic>
#include <thread>

#include "platform/qt_bridge.h"
#include "services_support.h"
#include "testkit/env.h"
#include "testkit/files.h"
#include "testkit/pictures.h"

namespace {

struct Seen {
  std::string text{}, caption{};
  UINT type = 0;
  int calls = 0;
  int answer = IDOK;
};

int recordingHook(void* context, const char* text, const char* caption, UINT type) {
  auto* seen = static_cast<Seen*>(context);
  seen->text = text;
  seen->caption = caption;
  seen->type = type;
  ++seen->calls;
  return seen->answer;
}

// PL_MSGBOX_ANSWERS set to `list`, padded with trailing blanks that differ on
// every call: the list restarts only when the variable changes, and repeated
// runs of a test must not continue the previous run's list.
testkit::ScopedEnv answers(const std::string& list) {
  static int calls = 0;
  return {"PL_MSGBOX_ANSWERS", list + std::string(static_cast<size_t>(++calls), ' ')};
}

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { reset(); }
  static void reset() {
    pl_SetMessageBoxHook(nullptr, nullptr);
    pl_SetAppTitle(nullptr);
  }
  testkit::ScopedEnv answers_{"PL_MSGBOX_ANSWERS", nullptr};
  testkit::ScopedEnv log_{"PL_MSGBOX_LOG", nullptr};
  testkit::ScopedEnv fileAnswer_{"PL_FILEDIALOG_ANSWER", nullptr};
};

TEST_F(MessageBoxTest, HookAnswersFirstWithTheResolvedCaption) {
  Seen seen{.answer = IDYES};
  pl_SetMessageBoxHook(recordingHook, &seen);
  const auto list = answers("no");

  pl_SetAppTitle("監視カメラ");
  EXPECT_EQ(MessageBoxA(0, "処理を終了いたしますか？", nullptr, MB_YESNO), IDYES);
  EXPECT_EQ(seen.caption, "監視カメラ");
  EXPECT_EQ(seen.text, "処理を終了いたしますか？");
  EXPECT_EQ(seen.type, MB_YESNO);

  EXPECT_EQ(MessageBoxA(0, "x", "明示", MB_OK), IDYES);
  EXPECT_EQ(seen.caption, "明示");

  // Without a title of its own the program is named by the application.
  const QString oldName = QCoreApplication::applicationName();
  QCoreApplication::setApplicationName(QStringLiteral("services-title"));
  pl_SetAppTitle(nullptr);
  MessageBoxA(0, "x", nullptr, MB_OK);
  EXPECT_EQ(seen.caption, "services-title");
  QCoreApplication::setApplicationName(oldName);

  // The hook consumed no scripted answer.
  pl_SetMessageBoxHook(nullptr, nullptr);
  EXPECT_EQ(MessageBoxA(0, "x", nullptr, MB_YESNO), IDNO);
  EXPECT_EQ(seen.calls, 3);
}

TEST_F(MessageBoxTest, ScriptedAnswersAreTakenInOrderThenTheDefault) {
  const auto list = answers("yes, NO ,ok,maybe,yes");
  EXPECT_EQ(MessageBoxA(0, "1", "c", MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(MessageBoxA(0, "2", "c", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxA(0, "3", "c", MB_OK | MB_ICONERROR), IDOK);
  EXPECT_EQ(MessageBoxA(0, "4", "c", MB_YESNO), IDNO);  // not an answer: default
  EXPECT_EQ(MessageBoxA(0, "5", "c", MB_OK), IDOK);     // "yes" on an OK box
  EXPECT_EQ(MessageBoxA(0, "6", "c", MB_YESNO), IDNO);  // exhausted
  EXPECT_EQ(MessageBoxA(0, "7", "c", MB_OK), IDOK);

  // A new list starts from its beginning.
  const auto again = answers("yes");
  EXPECT_EQ(MessageBoxA(0, "8", "c", MB_YESNO), IDYES);
  EXPECT_EQ(MessageBoxA(0, "9", "c", MB_YESNO), IDNO);
}

TEST_F(MessageBoxTest, LogHoldsOneLinePerBoxHoweverAnswered) {
  ScratchDir dir;
  const std::string logPath = dir.file("boxes.log");
  testkit::ScopedEnv log("PL_MSGBOX_LOG", logPath.c_str());
  const auto list = answers("yes");

  EXPECT_EQ(MessageBoxA(0, "/opt/selvane/selvanedir.ini\r\nを保存しますか？", "題", MB_YESNO), IDYES);
  Seen seen;
  pl_SetMessageBoxHook(recordingHook, &seen);
  MessageBoxA(0, "a\tb\\c", "題", MB_OK);
  pl_SetMessageBoxHook(nullptr, nullptr);
  EXPECT_EQ(MessageBoxA(0, "last", "題", MB_YESNO), IDNO);

  EXPECT_EQ(testkit::readFile(logPath),
            "題\t/opt/selvane/selvanedir.ini\\r\\nを保存しますか？\tyes\n"
            "題\ta\\tb\\\\c\tok\n"
            "題\tlast\tno\n");
}

TEST_F(MessageBoxTest, RealBoxOffersJapaneseButtonsAndReportsTheClick) {
  QWidget owner;
  owner.show();
  const HWND ownerHandle = pl::hwndOf(&owner);
  ASSERT_NE(ownerHandle, 0u);

  QString title, text, buttons;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QWidget* parent = nullptr;
  svtest::whenModalAppears([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    parent = box->parentWidget();
    for (QAbstractButton* b : box->buttons()) buttons += b->text() + QLatin1Char('|');
    for (QAbstractButton* b : box->buttons())
      if (b->text() == QStringLiteral("はい")) b->click();
  });
  EXPECT_EQ(MessageBoxA(ownerHandle, "処理を終了いたしますか？", "Selvane", MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(title, QStringLiteral("Selvane"));
  EXPECT_EQ(text, QStringLiteral("処理を終了いたしますか？"));
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_EQ(parent, &owner);
  EXPECT_TRUE(buttons.contains(QStringLiteral("はい|")) && buttons.contains(QStringLiteral("いいえ|")));

  // Escape on a question is No; an error box has OK alone.
  svtest::whenModalAppears([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
  EXPECT_EQ(MessageBoxA(0, "q", "c", MB_YESNO), IDNO);
  svtest::whenModalAppears([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    icon = box->icon();
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->buttons().first()->text(), QStringLiteral("OK"));
    box->buttons().first()->click();
  });
  EXPECT_EQ(MessageBoxA(0, "e", "c", MB_OK | MB_ICONERROR), IDOK);
  EXPECT_EQ(icon, QMessageBox::Critical);

  // From a worker thread the box still appears on the UI thread.
  bool onUi = false;
  svtest::whenModalAppears([&](QWidget* modal) {
    onUi = modal->thread() == QThread::currentThread() && QThread::currentThread() == qApp->thread();
    QTest::keyClick(modal, Qt::Key_Escape);
  });
  std::atomic<int> fromWorker{0};
  std::thread worker([&] { fromWorker = MessageBoxA(0, "w", "c", MB_YESNO); });
  EXPECT_TRUE(QTest::qWaitFor([&] { return fromWorker.load() != 0; }, 10000));
  worker.join();
  EXPECT_EQ(fromWorker.load(), IDNO);
  EXPECT_TRUE(onUi);
}

// A program without a Qt application answers by default, or by its own
// scripted list starting from the first entry.
TEST_F(MessageBoxTest, ProgramWithoutDisplayAnswersDefaultsAndLogs) {
  ScratchDir dir;
  const std::string out = dir.file("answers.txt");
  const std::string logPath = dir.file("boxes.log");
  testkit::ScopedEnv log("PL_MSGBOX_LOG", logPath.c_str());
  const std::string command = "sv_services_helper msgbox \"" + out + "\" 4 0";

  ASSERT_EQ(svtest::run(command), 0);
  EXPECT_EQ(testkit::readFile(out), "7\n1\n");
  EXPECT_EQ(testkit::readFile(logPath), "sv_services_helper\t確認\tno\nsv_services_helper\t確認\tok\n");

  testkit::ScopedEnv list("PL_MSGBOX_ANSWERS", "yes");
  ASSERT_EQ(svtest::run(command), 0);
  EXPECT_EQ(testkit::readFile(out), "6\n1\n");
}

}  // namespace
