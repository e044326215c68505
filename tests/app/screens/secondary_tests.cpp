// The help window, the processing settings dialog and the camera test screen.
#include <QComboBox>
#include <QMenuBar>
#include <QPlainTextEdit>

#include "app_fixture.h"
#include "screens/camera_test_screen.h"
#include "screens/help_screen.h"
#include "screens/processing_dialog.h"

namespace apptest {
namespace {

using selvane::screens::ProcessingDialog;

// What an operator's pick in a list does: select and raise the list's click.
void pick(QComboBox* list, const QString& text) {
  const int i = list->findText(text);
  ASSERT_GE(i, 0) << text.toStdString();
  list->setCurrentIndex(i);
  emit list->activated(i);
}

TEST_F(AppTest, ProcessingDialogShowsStoredValuesAndWritesBackOnlyPickedLists) {
  load();
  auto& a = model_.adjust[2];
  a.red = 25;  // outside its range
  row(2)->command7->click();
  ProcessingDialog* dialog = controlScreen_->processingScreen();
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(controlScreen_->isEnabled());
  // Rotation 18, zoom 10, brightness 10, and red 25 as the last item.
  const char* shown[] = {"0", "1", "0", "-10"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(dialog->list(i)->currentText(), shown[i]) << i;
  // The last pick goes back to the item shown at opening: still written.
  for (const auto& [i, text] : {std::pair{0, "-18"}, {1, "10"}, {2, "10"}, {4, "3"}, {4, "0"}})
    pick(dialog->list(i), text);
  dialog->close();
  EXPECT_TRUE(controlScreen_->isEnabled());
  EXPECT_EQ(a.rotation, 0);
  EXPECT_EQ(a.zoom, 1);
  EXPECT_EQ(a.brightness, 20);
  EXPECT_EQ(a.red, 25);  // untouched
  EXPECT_EQ(a.green, 10);

  row(2)->command7->click();
  dialog = controlScreen_->processingScreen();
  pick(dialog->list(0), "18");
  dialog->close();
  EXPECT_EQ(a.rotation, 36);

  const auto before = model_.adjust;
  row(2)->command7->click();
  controlScreen_->processingScreen()->close();  // opening and leaving writes nothing
  EXPECT_EQ(model_.adjust, before);
}

TEST_F(AppTest, CameraTestShowsItsUnitAndTheDeliveredFormatAndStopsOnClose) {
  load();
  row(2)->combo2->setCurrentText("320*240");
  row(2)->combo5->setCurrentText("I420");
  row(2)->command5->click();
  auto* test = controlScreen_->cameraTestScreen();
  ASSERT_NE(test, nullptr);
  EXPECT_FALSE(controlScreen_->isEnabled());
  EXPECT_FALSE(controlScreen_->clock().isActive());
  EXPECT_EQ(test->unitBox()->text(), "3");
  EXPECT_EQ(test->deviceBox()->text(), row(2)->text1->text());
  EXPECT_EQ(test->sizeBox()->text(), "320 *240");
  EXPECT_EQ(test->compressionBox()->text(), "I420");
  EXPECT_EQ(controlScreen_->korvex().GetPreBmpWidth(), 320);
  test->close();  // the close box, as "表示テスト 終了"
  EXPECT_TRUE(controlScreen_->isEnabled());
  EXPECT_TRUE(controlScreen_->clock().isActive());
  EXPECT_EQ(controlScreen_->korvex().GetPreBmpWidth(), 0);  // preview ended
  EXPECT_EQ(controlScreen_->korvex().PreUsbEnd(), 1);
}

TEST_F(AppTest, HelpWindowOpensOnceAndReturnsToItsOpener) {
  load();
  QAction* verdisp = controlScreen_->menuBar()->findChild<QAction*>("Verdisp");
  ASSERT_NE(verdisp, nullptr);
  verdisp->trigger();
  auto* help = controlScreen_->helpScreen();
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->windowTitle(), "USBカメラHELP Ver 2.0");
  EXPECT_EQ(help->text1()->text(), "WacharoCapture版  Ver 2.0");
  EXPECT_TRUE(help->text2()->toPlainText().startsWith("WacharoCapture版 V2.0"));
  EXPECT_FALSE(controlScreen_->isEnabled());
  verdisp->trigger();
  EXPECT_EQ(controlScreen_->helpScreen(), help);  // a second press does nothing
  help->close();
  EXPECT_TRUE(controlScreen_->isEnabled());
  EXPECT_EQ(model_.helpOpen, 0);
}

}  // namespace
}  // namespace apptest
