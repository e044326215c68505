// The control screen after its load: rows by camera presence and settings.
#include "app_fixture.h"
#include "camera/testing.h"
#include "screens/camera_test_screen.h"
#include "screens/help_screen.h"
#include "screens/processing_dialog.h"

namespace apptest {
namespace {

TEST_F(AppTest, WithoutSettingsFileRowsHaveTheirDefaults) {
  cameras(2);
  load();
  EXPECT_EQ(controlScreen_->cameraCountBox()->text(), "2");
  EXPECT_EQ(model_.startupDir, dir_.path() + "/");
  for (int k = 0; k < 6; ++k) {
    EXPECT_FALSE(row(k)->check1->isChecked());
    EXPECT_EQ(row(k)->combo2->currentText(), "640*480");
    EXPECT_EQ(row(k)->combo3->currentText(), "5000");
    EXPECT_EQ(row(k)->combo4->currentText(), "10");
    EXPECT_EQ(row(k)->combo5->currentText(), "RGB");
    EXPECT_TRUE(row(k)->check1->isEnabled());
    EXPECT_EQ(row(k)->text1->isEnabled(), k < 2) << k;
    EXPECT_EQ(model_.run[static_cast<size_t>(k)].devicePresent, k < 2 ? 1 : 0);
  }
  EXPECT_TRUE(row(0)->text1->text().startsWith("1 : "));
  EXPECT_TRUE(controlScreen_->option(4)->isChecked());  // JPG
  EXPECT_TRUE(controlScreen_->option(1)->isChecked());  // Safe Mode
  EXPECT_EQ(controlScreen_->qualityLabel()->text(), "50");
}

TEST_F(AppTest, EveryWindowCarriesItsFormNameAndTitle) {
  load();
  auto check = [](QWidget* w, const char* name, const QString& title) {
    ASSERT_NE(w, nullptr) << name;
    EXPECT_EQ(w->objectName(), name);
    EXPECT_EQ(w->accessibleDescription(), name);
    EXPECT_EQ(w->windowTitle(), title) << name;
  };
  check(controlScreen_.get(), "Form2", "Wacharoコントロール画面  Ver 2.0");
  check(&captureScreen(), "Form1", "WacharoCapture版  Ver 2.0");
  check(controlScreen_->fullScreenView(), "Form7", "Form7");
  controlScreen_->openHelp(0);
  check(controlScreen_->helpScreen(), "Form3", "USBカメラHELP Ver 2.0");
  controlScreen_->closeHelp();
  row(0)->command7->click();
  check(controlScreen_->processingScreen(), "Form4", "Form4");
  controlScreen_->processingScreen()->close();
  row(0)->command5->click();
  check(controlScreen_->cameraTestScreen(), "Form6", "ＵＳＢカメラテスト画面  Ver 2.0");
  if (controlScreen_->cameraTestScreen()) controlScreen_->cameraTestScreen()->close();
}

TEST_F(AppTest, RowStatesFollowUseAndSaveBoxesAndCameraPresence) {
  cameras(2);
  writeSettings(QByteArray("\"1\",\"0\",\"\",\"320*240\",\"2000\",\"15\",\"I420\",\"/tmp/\"\r\n"
                           "\"0\",\"1\",\"\",\"640*480\",\"1000\",\"5\",\"IYUV\",\"/tmp/\"\r\n"
                           "\"1\",\"1\",\"古いカメラ\",\"160*120\",\"3000\",\"10\",\"RGB\",\"/tmp/\"\r\n") +
                kUnusedUnitLine.repeated(3) + "\"0\",\"75\"\r\n");
  load();
  // Use 1, save 0: save box enabled and clear, directory disabled.
  EXPECT_TRUE(row(0)->check2->isEnabled());
  EXPECT_FALSE(row(0)->check2->isChecked());
  EXPECT_FALSE(row(0)->text2->isEnabled());
  EXPECT_FALSE(row(0)->command1->isEnabled());
  EXPECT_EQ(row(0)->combo2->currentText(), "320*240");
  // Use 0, save 1: save box disabled although ticked.
  EXPECT_FALSE(row(1)->check2->isEnabled());
  EXPECT_TRUE(row(1)->check2->isChecked());
  EXPECT_FALSE(row(1)->text2->isEnabled());
  // No camera: greyed, name from the file still shown, use box usable.
  EXPECT_EQ(row(2)->text1->text(), "古いカメラ");
  EXPECT_FALSE(row(2)->text1->isEnabled());
  EXPECT_TRUE(row(2)->check1->isEnabled());
  EXPECT_TRUE(row(2)->check1->isChecked());
  EXPECT_EQ(row(2)->text1->palette().color(QPalette::Base), QColor(200, 200, 200));
  // Send format 0 from the file selects BMAP; quality 75.
  EXPECT_TRUE(controlScreen_->option(3)->isChecked());
  EXPECT_EQ(model_.sendFormat, 0);
  EXPECT_EQ(controlScreen_->qualityLabel()->text(), "75");
}

TEST_F(AppTest, CamerasThisUserMayNotOpenAreNamedOnceAtStartUp) {
  const CG_UVC_SPEC specs[] = {{"Allowed", 1}, {"Forbidden", 2}};
  ASSERT_EQ(cg_SetUvcCameras(specs, 2), S_OK);
  ASSERT_EQ(cg_SetUvcCameraState(1, CG_UVC_NO_PERMISSION), S_OK);
  cameras(0);
  load();
  cg_SetUvcCameras(nullptr, 0);
  EXPECT_EQ(controlScreen_->cameraCountBox()->text(), "1");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].text.find("/dev/video2\n/dev/video3"), std::string::npos) << boxes_[0].text;
  EXPECT_NE(boxes_[0].text.find("video グループ"), std::string::npos);
}

}  // namespace
}  // namespace apptest
