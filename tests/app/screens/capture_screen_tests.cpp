// The capture screen's own controls: label flashes, the status box toggle,
// Back and the close box.
#include <QAbstractButton>
#include <QCheckBox>
#include <QScrollBar>

#include "app_fixture.h"
#include "screens/widgets.h"

namespace apptest {
namespace {

using selvane::screens::backColor;

class CaptureScreenTest : public AppTest {
 protected:
  void startOneUnit() {
    load();
    useUnit(0, false);
    useUnit(1, false);
    start();
  }
};

TEST_F(CaptureScreenTest, LabelClickResetsItsBarWithAShortFlash) {
  startOneUnit();
  auto* p = pane(1);
  p->hscroll2->setValue(3);
  EXPECT_EQ(model_.adjust[1].green, 3);
  auto* green = p->flashLabels[6];  // "GREEN"
  emit green->clicked();
  EXPECT_EQ(p->hscroll2->value(), 10);
  EXPECT_EQ(model_.adjust[1].green, 10);
  EXPECT_EQ(backColor(green), QColor(0, 255, 0));
  EXPECT_FALSE(green->isEnabled());
  ASSERT_TRUE(waitUntil([&] { return green->isEnabled(); }, 2500));
  EXPECT_EQ(backColor(green), QColor(200, 200, 200));

  for (int label : {3, 4}) {  // "暗" and "明" both reset brightness
    p->vscroll1->setValue(17);
    emit p->flashLabels[static_cast<size_t>(label)]->clicked();
    EXPECT_EQ(p->vscroll1->value(), 10);
  }
}

TEST_F(CaptureScreenTest, StatusBoxToggleReturnsToItsStartAfterTwoClicks) {
  startOneUnit();
  auto* toggle = captureScreen().findChild<selvane::screens::ClickLabel*>("Label10");
  ASSERT_NE(toggle, nullptr);
  emit toggle->clicked();
  EXPECT_FALSE(captureScreen().statusBox()->isVisible());
  EXPECT_EQ(toggle->text(), "表示");
  EXPECT_EQ(toggle->accessibleName(), "表示");
  emit toggle->clicked();
  EXPECT_TRUE(captureScreen().statusBox()->isVisible());
  EXPECT_EQ(toggle->text(), "消去");
}

TEST_F(CaptureScreenTest, BackStoresTheBoxesAndTheCloseBoxActsAsBack) {
  startOneUnit();
  pane(0)->check1->setChecked(true);
  pane(0)->hscroll4->setValue(27);
  captureScreen().close();  // the close box while the control screen lives
  ASSERT_TRUE(waitUntil([&] { return controlScreen_->isVisible(); }, 3000));
  EXPECT_FALSE(captureScreen().isVisible());
  EXPECT_FALSE(captureScreen().running());
  EXPECT_EQ(model_.adjust[0].processing, 1);
  EXPECT_EQ(model_.adjust[0].rotation, 27);
  EXPECT_TRUE(controlScreen_->isEnabled());
  EXPECT_TRUE(controlScreen_->clock().isActive());
}

TEST_F(CaptureScreenTest, BackWhileRunningLeavesStartReadyAndEndsFlashes) {
  startOneUnit();
  auto* green = pane(1)->flashLabels[6];
  emit green->clicked();  // Back within the flash
  captureScreen().backButton()->click();
  EXPECT_FALSE(captureScreen().running());
  // The hidden screen is disabled as a whole; its own buttons as Stop leaves them.
  EXPECT_TRUE(captureScreen().startButton()->isEnabledTo(&captureScreen()));
  EXPECT_FALSE(captureScreen().stopButton()->isEnabledTo(&captureScreen()));
  EXPECT_TRUE(green->isEnabledTo(&captureScreen()));
  EXPECT_EQ(backColor(green), QColor(200, 200, 200));

  // The control screen's next "開始" really starts again.
  start();
  EXPECT_FALSE(captureScreen().startButton()->isEnabled());

  emit green->clicked();  // Stop and Start within the flash
  captureScreen().stopButton()->click();
  captureScreen().startButton()->click();
  EXPECT_TRUE(green->isEnabled());
  EXPECT_EQ(backColor(green), QColor(200, 200, 200));
}

// The captions the box they are given cuts, with what they need and have.
std::vector<std::string> cutCaptions(QWidget* root) {
  std::vector<std::string> cut;
  for (QWidget* w : root->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(root)) continue;
    QString text;
    QSize need, room = w->contentsRect().size();
    if (auto* l = qobject_cast<QLabel*>(w)) {
      text = l->text();
      need = l->fontMetrics().size(0, text);
    } else if (auto* c = qobject_cast<QCheckBox*>(w)) {
      text = c->text();
      need = QSize(c->sizeHint().width(), c->fontMetrics().height());
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
      text = b->text();
      need = b->fontMetrics().size(0, text) + QSize(6, 4);  // the button's frame
    }
    if (text.isEmpty() || (need.width() <= room.width() && need.height() <= room.height())) continue;
    const auto size = [](QSize s) { return QStringLiteral("%1x%2").arg(s.width()).arg(s.height()); };
    cut.push_back(
        QStringLiteral("%1 \"%2\" needs %3, has %4").arg(w->objectName(), text, size(need), size(room)).toStdString());
  }
  return cut;
}

TEST_F(AppTest, EveryCaptionFitsItsBoxWithTheShippedFont) {
  cameras(6);
  load();
  EXPECT_EQ(cutCaptions(controlScreen_.get()), std::vector<std::string>{});
  for (int n : {1, 2, 6}) {
    for (int k = 0; k < 6; ++k) row(k)->check1->setChecked(k < n);
    controlScreen_->startButton()->click();
    ASSERT_TRUE(captureScreen().isVisible());
    EXPECT_EQ(cutCaptions(&captureScreen()), std::vector<std::string>{}) << n << " units";
    captureScreen().backButton()->click();
  }
}

}  // namespace
}  // namespace apptest
