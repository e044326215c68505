// The control screen's own commands: close, save, reset, reload, DIR, JPEG
// quality and the use and save boxes.
#include <sys/stat.h>
#include <QMenuBar>
#include <QTest>

#include "app_fixture.h"
#include "testkit/files.h"

namespace apptest {
namespace {

TEST_F(AppTest, ClosingAsksAndNoKeepsEverything) {
  load();
  useUnit(0);
  controlScreen_->close();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "処理を終了いたしますか？");
  EXPECT_EQ(boxes_[0].type & MB_YESNO, MB_YESNO);
  EXPECT_TRUE(controlScreen_->isVisible());
  EXPECT_TRUE(row(0)->check1->isChecked());
  EXPECT_EQ(model_.controlScreenRunning, 1);
}

TEST_F(AppTest, SaveAsksAndWritesTheScreenAsItStands) {
  load();
  const QString path = dir_.filePath("selvanedir.ini");
  controlScreen_->findChild<QPushButton*>("Command4")->click();  // answered No
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_EQ(boxes_.back().text, (path + "\r\nを保存しますか？").toStdString());

  controlScreen_->menuBar()->findChild<QAction*>("dirdel")->trigger();
  controlScreen_->menuBar()->findChild<QAction*>("JPG70")->trigger();
  EXPECT_EQ(controlScreen_->qualityLabel()->text(), "70");
  answers_.push_back(IDYES);
  controlScreen_->findChild<QPushButton*>("Command4")->click();
  const QStringList lines = QString::fromUtf8(testkit::readFile(path)).split("\r\n");
  ASSERT_GE(lines.size(), 13);
  for (int k = 0; k < 6; ++k) EXPECT_TRUE(lines[k].contains("\"I420\"")) << lines[k].toStdString();
  EXPECT_EQ(lines[6], "\"1\",\"70\"");
}

TEST_F(AppTest, SaveFailureIsReported) {
  load();
  QDir(dir_.path()).mkdir("selvanedir.ini");  // a directory where the file belongs
  answers_.push_back(IDYES);
  controlScreen_->findChild<QPushButton*>("Command4")->click();
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_NE(boxes_[1].text.find("保存できませんでした"), std::string::npos);
}

TEST_F(AppTest, ResetGreysAbsentRowsAndKeepsUseBoxes) {
  cameras(2);
  load();
  row(4)->check1->setChecked(true);
  model_.adjust[4].rotation = 3;
  controlScreen_->menuBar()->findChild<QAction*>("dirdel")->trigger();
  EXPECT_TRUE(row(4)->check1->isChecked());
  EXPECT_EQ(row(4)->text1->palette().color(QPalette::Base), QColor(200, 200, 200));
  EXPECT_EQ(row(4)->combo3->palette().color(QPalette::Base), QColor(200, 200, 200));
  EXPECT_EQ(row(4)->combo5->currentText(), "I420");
  EXPECT_EQ(model_.adjust[4].rotation, 18);
}

BOOL chooseFile(void* context, const OPENFILENAMEA*, char* path, DWORD max) {
  const QByteArray chosen = static_cast<QString*>(context)->toUtf8();
  if (static_cast<DWORD>(chosen.size()) >= max) return FALSE;
  memcpy(path, chosen.constData(), static_cast<size_t>(chosen.size()) + 1);
  return TRUE;
}

TEST_F(AppTest, DirKeepsTheChosenFilesDirectoryWithItsSeparator) {
  load();
  useUnit(0);
  QString chosen = dir_.filePath("data/cam1/x.bmp");
  pl_SetFileDialogHook(chooseFile, &chosen);
  row(0)->command1->click();
  pl_SetFileDialogHook(nullptr, nullptr);
  EXPECT_EQ(row(0)->text2->text(), dir_.filePath("data/cam1/"));
}

TEST_F(AppTest, UseAndSaveBoxesEnableTheDirectoryControls) {
  load();
  useUnit(0);
  EXPECT_TRUE(row(0)->text2->isEnabled());
  row(0)->check1->setChecked(false);  // keeps the save box's tick
  EXPECT_FALSE(row(0)->check2->isEnabled());
  EXPECT_TRUE(row(0)->check2->isChecked());
  EXPECT_FALSE(row(0)->text2->isEnabled());
  EXPECT_FALSE(row(0)->command1->isEnabled());
  row(0)->check1->setChecked(true);
  EXPECT_TRUE(row(0)->text2->isEnabled());
  EXPECT_TRUE(row(0)->command1->isEnabled());
  row(0)->check2->setChecked(false);
  EXPECT_FALSE(row(0)->text2->isEnabled());
}

TEST_F(AppTest, TypedCompressionGivesNumberZeroAndTheListStaysFixed) {
  load();
  useUnit(0, false);
  QComboBox* combo5 = row(0)->combo5;
  combo5->lineEdit()->selectAll();
  QTest::keyClicks(combo5, "MJPG");
  QTest::keyClick(combo5, Qt::Key_Return);
  EXPECT_EQ(combo5->count(), 3);
  EXPECT_EQ(combo5->currentText(), "MJPG");
  controlScreen_->startButton()->click();
  EXPECT_EQ(model_.run[0].active, 1);
  EXPECT_EQ(model_.run[0].compressionNo, 0);
}

TEST_F(AppTest, ReloadShowsTheFilesSendFormatAndQuality) {
  auto withSendLine = [&](const QByteArray& line) { writeSettings(kUnusedUnitLine.repeated(6) + line + "\r\n"); };
  withSendLine("\"0\",\"75\"");
  load();
  EXPECT_TRUE(controlScreen_->option(3)->isChecked());
  QAction* reload = controlScreen_->menuBar()->findChild<QAction*>("fback");
  withSendLine("\"1\",\"60\"");
  reload->trigger();
  EXPECT_TRUE(controlScreen_->option(4)->isChecked());
  EXPECT_FALSE(controlScreen_->option(3)->isChecked());
  EXPECT_EQ(model_.sendFormat, 1);
  EXPECT_EQ(controlScreen_->qualityLabel()->accessibleName(), "60");  // what a screen reader says
  withSendLine("\"0\",\"60\"");
  reload->trigger();
  EXPECT_TRUE(controlScreen_->option(3)->isChecked());
  EXPECT_EQ(model_.sendFormat, 0);
}

TEST_F(AppTest, UnreadableSettingsFileIsToldAtLoadAndReload) {
  // Present but unreadable (a FIFO stands in for a file without read
  // permission, which the superuser could read anyway).
  ASSERT_EQ(mkfifo(dir_.filePath("selvanedir.ini").toUtf8().constData(), 0600), 0);
  load();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].text.find("selvanedir.ini\r\nを読み込めませんでした"), std::string::npos) << boxes_[0].text;
  controlScreen_->menuBar()->findChild<QAction*>("fback")->trigger();
  EXPECT_EQ(boxes_.size(), 2u);
}

}  // namespace
}  // namespace apptest
