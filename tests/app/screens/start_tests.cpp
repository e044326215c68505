// "開始": the checks, the capture screen's layout, and a real run.
#include <QAccessible>
#include <QImage>
#include <QMenuBar>
#include <QRegularExpression>

#include "app_fixture.h"
#include "platform/qt_bridge.h"
#include "platform/window.h"
#include "screens/widgets.h"
#include "selvane/publication/control_record.h"
#include "selvane/publication/directory_lock.h"
#include "testkit/files.h"
#include "testkit/screen.h"

namespace apptest {
namespace {

TEST_F(AppTest, StartRefusesUnusableRowsWithItsThreeMessages) {
  cameras(2);
  load();
  row(2)->check1->setChecked(true);  // no camera for unit 3
  controlScreen_->startButton()->click();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_.back().text, "キャプチャーするカメラの指定が有りません");
  EXPECT_EQ(boxes_.back().type & MB_YESNO, 0u);

  useUnit(0);
  useUnit(1);
  row(0)->text2->clear();
  controlScreen_->startButton()->click();
  EXPECT_EQ(boxes_.back().text, " 1号機 の書込先デレクトリが未入力です");

  row(0)->text2->setText(dir_.filePath("missing"));
  controlScreen_->startButton()->click();
  EXPECT_EQ(boxes_.back().text, " 1号機 で指定したデレクトリがありません");
  EXPECT_TRUE(controlScreen_->isVisible() || !controlScreen_->isHidden());
  EXPECT_FALSE(captureScreen().isVisible());

  // A directory another copy of the program publishes into.
  useUnit(0);
  const QString second = useUnit(1);
  selvane::publication::DirectoryLock otherCopy;
  ASSERT_EQ(otherCopy.take(second), selvane::publication::DirectoryLock::Outcome::Held);
  controlScreen_->startButton()->click();
  EXPECT_EQ(boxes_.back().text,
            (" 2号機 の書込先デレクトリ " + second + " は別のプログラムが使用中です").toStdString());
  EXPECT_FALSE(captureScreen().isVisible());
  otherCopy.release();
  controlScreen_->startButton()->click();
  ASSERT_TRUE(captureScreen().isVisible());
  EXPECT_EQ(otherCopy.take(second), selvane::publication::DirectoryLock::Outcome::InUse) << "held while capture runs";
  captureScreen().backButton()->click();
  EXPECT_EQ(otherCopy.take(second), selvane::publication::DirectoryLock::Outcome::Held) << "free once back";
}

TEST_F(AppTest, CaptureScreenIsSizedForTheHighestUnitShown) {
  cameras(6);
  load();
  useUnit(0, false);
  controlScreen_->startButton()->click();
  EXPECT_TRUE(captureScreen().isVisible());
  EXPECT_EQ(model_.displayCount, 1);
  EXPECT_TRUE(pane(0)->isVisible());
  EXPECT_FALSE(pane(1)->isVisible());
  EXPECT_EQ(captureScreen().centralWidget()->width(), (9840 - 2 * (3135 + 100) + 7) / 15);
  // "Version", "HELP" and "戻る" take a second row above the single pane.
  EXPECT_EQ(captureScreen().centralWidget()->height(), (8865 - 3975 + 600 + 7) / 15);
  auto topRowFits = [&] {
    for (const char* name : {"Command4", "Command1", "Command5", "Command2", "Command3"}) {
      auto* b = captureScreen().findChild<QPushButton*>(name);
      EXPECT_TRUE(captureScreen().centralWidget()->rect().contains(b->geometry())) << name;
      for (int k = 0; k < 6; ++k)
        EXPECT_FALSE(pane(k)->isVisible() && b->geometry().intersects(pane(k)->geometry())) << name << " over " << k;
    }
  };
  topRowFits();
  EXPECT_EQ(selvane::screens::backColor(pane(0)->label7), QColor(255, 255, 0));  // not saving
  captureScreen().backButton()->click();
  EXPECT_TRUE(controlScreen_->isVisible());

  row(5)->check1->setChecked(true);
  controlScreen_->startButton()->click();
  EXPECT_EQ(model_.displayCount, 6);
  for (int k = 0; k < 6; ++k) EXPECT_TRUE(pane(k)->isVisible()) << k;
  EXPECT_EQ(captureScreen().centralWidget()->size(), QSize((9840 + 7) / 15, (8865 + 7) / 15));
  topRowFits();
  captureScreen().backButton()->click();

  // Two units: narrower buttons, one row.
  row(5)->check1->setChecked(false);
  useUnit(1, false);
  controlScreen_->startButton()->click();
  EXPECT_EQ(captureScreen().centralWidget()->height(), (8865 - 3975 + 7) / 15);
  topRowFits();
}

TEST_F(AppTest, ProcessingBoxesFollowTheFlagsAtEveryStart) {
  load();
  useUnit(0, false);
  controlScreen_->startButton()->click();
  pane(0)->check1->setChecked(true);
  pane(0)->check2->setChecked(true);
  captureScreen().backButton()->click();
  EXPECT_EQ(model_.adjust[0].processing, 1);
  controlScreen_->menuBar()->findChild<QAction*>("dirdel")->trigger();  // flags back to 0
  controlScreen_->startButton()->click();
  EXPECT_FALSE(pane(0)->check1->isChecked());
  EXPECT_FALSE(pane(0)->check2->isChecked());
  EXPECT_EQ(model_.adjust[0].processing, 0);
}

TEST_F(AppTest, TwoUnitsRunEndToEndAndPublishTheirPictures) {
  cameras(2, 30);
  load();
  const QString dir1 = useUnit(0);
  const QString dir2 = useUnit(1);
  row(0)->combo3->setCurrentText("1000");
  row(1)->combo3->setCurrentText("2000");
  controlScreen_->startButton()->click();
  ASSERT_TRUE(boxes_.empty());
  EXPECT_EQ(captureScreen().width() > 0, true);
  EXPECT_EQ(captureScreen().centralWidget()->width(), (9840 - (3135 + 100) + 7) / 15);
  // Both units publish at least two pictures.
  ASSERT_TRUE(waitUntil([&] { return QFile::exists(dir1 + "cap1.jpg") && QFile::exists(dir2 + "cap1.jpg"); }, 20000));
  for (const QString& d : {dir1, dir2}) {
    const QByteArray bytes = testkit::readFile(d + "cap.ctl");
    ASSERT_EQ(bytes.size(), 48);
    const auto r = selvane::publication::ControlRecord::decode(bytes);
    EXPECT_EQ(r.state, selvane::publication::ControlRecord::kStateJpeg);
    EXPECT_EQ(r.written[0], 1);
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d $)").match(r.slotText(0)).hasMatch());
    EXPECT_EQ(QImage(d + "cap0.jpg").size(), QSize(640, 480));
  }
  EXPECT_EQ(pane(0)->label5->text(), "640 * 480");
  // A screen reader reads the format itself, not the control's name.
  EXPECT_EQ(QAccessible::queryAccessibleInterface(pane(0)->label5)->text(QAccessible::Name), "640 * 480");
  EXPECT_EQ(pane(0)->label9->text(), "RGB24");
  captureScreen().stopButton()->click();
  captureScreen().backButton()->click();
}

TEST_F(AppTest, SchedulerAsksOnEveryThirdTickAndHoldsAPendingUnit) {
  cameras(2);
  load();
  useUnit(0, false);
  row(0)->combo3->setCurrentText("3000");
  start();
  scheduler().ticker().stop();            // ticks by hand from here
  controlScreen_->korvex().CaptureEnd();  // requests are refused: nothing is captured
  auto& run = model_.run[0];
  EXPECT_EQ(run.interval, 3000);
  scheduler().tick();
  scheduler().tick();
  EXPECT_EQ(run.elapsed, 2000);
  scheduler().tick();
  EXPECT_EQ(run.elapsed, 0);  // asked (and refused, so not pending)
  EXPECT_EQ(run.capturePending, 0);

  controlScreen_->korvex().CaptureStart(0);
  run.elapsed = 2000;
  scheduler().tick();
  EXPECT_EQ(run.capturePending, 1);
  EXPECT_EQ(selvane::screens::backColor(pane(0)->label1), QColor(0, 255, 0));
  scheduler().ticker().stop();
  controlScreen_->korvex().CaptureEnd();  // the frame never comes: the unit stays pending
  for (int i = 0; i < 4; ++i) scheduler().tick();
  EXPECT_EQ(run.elapsed, 3000);  // held at the edge of its interval
  EXPECT_EQ(run.capturePending, 1);
  run.capturePending = 0;
  controlScreen_->korvex().CaptureStart(0);
  scheduler().tick();
  EXPECT_EQ(run.capturePending, 1);  // asked on the first tick after the frame
  EXPECT_EQ(run.elapsed, 0);
}

TEST_F(AppTest, AUnitHeldAtItsIntervalIsAskedAsSoonAsItsFrameIsHandled) {
  cameras(1);
  load();
  useUnit(0, false);
  row(0)->combo3->setCurrentText("1000");
  start();
  auto& run = model_.run[0];
  scheduler().tick();
  ASSERT_EQ(run.capturePending, 1);
  scheduler().tick();
  ASSERT_EQ(run.elapsed, 1000);  // held while its frame is pending
  scheduler().ticker().stop();   // no ticks from here: only the frame can ask again
  EXPECT_TRUE(waitUntil([&] { return run.elapsed <= 0 && run.capturePending == 1; }, 5000));
}

TEST_F(AppTest, FullScreenViewFollowsOnlyItsUnit) {
  cameras(2, 30);
  load();
  useUnit(0, false);
  useUnit(1, false);
  row(0)->combo3->setCurrentText("1000");
  row(1)->combo3->setCurrentText("1000");
  controlScreen_->startButton()->click();
  auto& fullView = *controlScreen_->fullScreenView();
  ASSERT_TRUE(waitUntil([&] { return !pane(1)->label6->text().isEmpty(); }, 10000));
  // A picture click opens the full-screen view on that unit.
  pane(1)->picture1->setFocus();
  PostMessageA(pl::hwndOf(pane(1)->picture1), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageA(pl::hwndOf(pane(1)->picture1), WM_LBUTTONUP, MK_LBUTTON, MAKELPARAM(5, 5));
  ASSERT_TRUE(waitUntil([&] { return fullView.isVisible(); }, 3000));
  EXPECT_EQ(model_.fullScreenShown, 1);
  EXPECT_EQ(model_.fullScreenUnit, 1);
  EXPECT_FALSE(captureScreen().isVisible());
  auto shot = [&] { return testkit::shownWindow(fullView); };
  scheduler().ticker().stop();  // captures by hand from here
  auto capture = [&](int k) {
    ASSERT_TRUE(waitUntil([&] { return model_.run[static_cast<size_t>(k)].capturePending == 0; }, 8000));
    captureOnce(k);
    pumpFor(100);
  };
  QImage last = shot();
  for (int i = 0; i < 2; ++i) {
    capture(1);
    const QImage now = shot();
    EXPECT_NE(now, last) << "unit 2, capture " << i;  // its new frame is shown
    last = now;
    capture(0);
    EXPECT_EQ(shot(), last) << "unit 1, capture " << i;  // another unit's frame is not
  }
  // A click on the view closes it and brings the capture screen back.
  PostMessageA(pl::hwndOf(&fullView), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ASSERT_TRUE(waitUntil([&] { return !fullView.isVisible(); }, 3000));
  EXPECT_EQ(model_.fullScreenShown, 0);
  EXPECT_TRUE(captureScreen().isVisible());
}

}  // namespace
}  // namespace apptest
