// The control screen (object name Form2), the program's start-up form. It hosts the
// capture control (hidden), holds the six unit rows and the program-wide
// settings, and owns the capture run, which "開始" starts on the capture
// screen. UI thread only.
#pragma once
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "capture_run/capture_run.h"
#include "selvane/model/settings_file.h"
#include "selvane/model/unit_model.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace selvane {

struct Plenkit;
class UnitRow;
namespace screens {
class CaptureScreen;
class HelpScreen;
class ProcessingDialog;
class CameraTestScreen;
class FullScreenView;
}  // namespace screens

class ControlScreen : public QMainWindow, private model::SettingsTarget {
  Q_OBJECT
 public:
  explicit ControlScreen(model::UnitModel& model);
  ~ControlScreen() override;

  // The load sequence. False, with a message for the operator, when the
  // image library or the capture control cannot be had. `programDir` is the
  // start-up directory (empty: the running program's own directory).
  bool load(QString* error, const QString& programDir = {});

  UnitRow* row(int k) const { return rows_[static_cast<size_t>(k)]; }
  screens::CaptureScreen* captureScreen() const { return captureScreen_.get(); }
  screens::FullScreenView* fullScreenView() const { return fullScreenView_.get(); }
  CaptureRun& captureRun() { return run_; }
  KorvexClient& korvex() { return run_.korvex(); }
  const Plenkit* plenkit() const { return plenkit_; }
  QPushButton* startButton() const { return command2_; }
  QLineEdit* clockBox() const { return text4_; }
  QLineEdit* cameraCountBox() const { return text3_; }
  QLineEdit* startupDirBox() const { return text5_; }
  QLabel* qualityLabel() const { return label10_; }
  QRadioButton* option(int n) const;  // Option1..Option4
  QComboBox* deviceList() const { return combo1_; }
  QTimer& clock() { return clock_; }
  QString helpFile() const { return model_.helpFile(); }

  // Start of capture ("開始").
  void startCapture();
  // "保存": asks, then writes the settings file; tells the operator when it cannot.
  void saveSettingsAsked();
  void reloadSettings();
  void resetUnitSettings();    // "履歴削除"
  void chooseWriteDir(int k);  // "DIR"
  void setJpegQuality(int quality);
  // The saved form of the rows as they stand on the screen.
  model::RowSnapshot rowSnapshot() const;

  // The operator's other screens.
  void openCameraTest(int k);  // "表示"
  void openProcessing(int k);  // "加工"
  void openHelp(int opener);   // 0 this screen, 1 the capture screen
  void closeHelp();
  screens::HelpScreen* helpScreen() const;
  screens::ProcessingDialog* processingScreen() const;
  screens::CameraTestScreen* cameraTestScreen() const;
  // Ends the program as "終了" does, without asking (a stop signal):
  // capture stopped, the control closed, the write directories unlocked; the
  // event loops end, and the frame directory goes with this object.
  void endWithoutAsking();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // SettingsTarget
  void setUseBox(int k, int16_t value) override;
  void setSaveBox(int k, int16_t value) override;
  void setDeviceName(int k, const QString& text) override;
  void setWriteDirText(int k, const QString& text) override;
  QStringList listItems(int k, publication::RowList list) const override;
  void selectListItem(int k, publication::RowList list, int index) override;

  void buildScreen();
  void buildMenus();
  void useBoxClicked(int k);
  void saveBoxClicked(int k);
  void enableRowsByCameras();
  void tick();
  void returnFromCapture();
  void endRun();  // the closing half of "終了"
  // Load settings, telling the operator when the file is there but unreadable;
  // then the quality label and the send format buttons show what was loaded.
  void loadSettingsFile();
  // The capture screen shows the prepared run.
  void showRun();

  model::UnitModel& model_;
  const Plenkit* plenkit_ = nullptr;
  CaptureRun run_;
  std::unique_ptr<screens::FullScreenView> fullScreenView_;
  std::unique_ptr<screens::CaptureScreen> captureScreen_;
  QPointer<screens::HelpScreen> help_;
  QPointer<screens::ProcessingDialog> processing_;
  QPointer<screens::CameraTestScreen> cameraTest_;

  std::array<UnitRow*, model::kUnitCount> rows_{};
  QComboBox* combo1_ = nullptr;      // device list, never shown
  QLineEdit* text3_ = nullptr;       // camera count
  QLineEdit* text4_ = nullptr;       // clock
  QLineEdit* text5_ = nullptr;       // start-up directory
  QLineEdit* text7_ = nullptr;       // receives texts written by handle
  QPushButton* command2_ = nullptr;  // "開始"
  QPushButton* command3_ = nullptr;  // "終了"
  QPushButton* command4_ = nullptr;  // "保存"
  QPushButton* command6_ = nullptr;  // "ＨＥＬＰ"
  QRadioButton* option1_ = nullptr;  // "Safe Mode"
  QRadioButton* option2_ = nullptr;  // "Normal"
  QRadioButton* option3_ = nullptr;  // "BMAP"
  QRadioButton* option4_ = nullptr;  // "JPG"
  QLabel* label10_ = nullptr;        // JPEG quality
  QTimer clock_;                     // clock
  bool closing_ = false;
};

}  // namespace selvane
