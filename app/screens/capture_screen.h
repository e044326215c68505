// The capture screen (object name Form1): six unit panes, Start/Stop/Back and
// the adjustment-label flashes. The control screen prepares it at "開始";
// its Start and Stop start and stop the capture run, whose view it is: the
// run's lamps, texts and pictures fill its panes. UI thread only.
#pragma once
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <functional>

#include "capture_run/capture_view.h"
#include "selvane/model/unit_model.h"

class QLineEdit;
class QPushButton;

namespace selvane {
class CaptureRun;
struct Plenkit;
}  // namespace selvane

namespace selvane::screens {

class ClickLabel;
class FullScreenView;
class UnitPane;

class CaptureScreen : public QMainWindow, public CaptureView {
  Q_OBJECT
 public:
  // Client area as designed, in twips.
  static constexpr int kDesignWidth = 9840;
  static constexpr int kDesignHeight = 8865;

  CaptureScreen(model::UnitModel& model, CaptureRun& run, const Plenkit* plenkit, FullScreenView* fullScreen);

  UnitPane* pane(int k) const { return panes_[static_cast<size_t>(k)]; }
  QPushButton* startButton() const { return command4_; }  // "開始"
  QPushButton* stopButton() const { return command1_; }   // "停止"
  QPushButton* backButton() const { return command3_; }   // "戻る"
  QLineEdit* statusBox() const { return text6_; }
  ClickLabel* normalLabel() const { return label11_; }
  ClickLabel* safeLabel() const { return label12_; }
  QLineEdit* displayWindow(int k) const { return text3_[static_cast<size_t>(k)]; }
  bool running() const;
  QTimer& flashTimer() { return flashTimer_; }

  // The client size the screen had when it loaded, in twips.
  int fullWidth() const { return kDesignWidth; }
  int fullHeight() const { return kDesignHeight; }
  // Sizes the screen for the highest unit shown and shows panes 1..n only.
  void layoutForUnits(int n);

  // CaptureView
  void showLamp(int k, Lamp lamp) override;
  model::Adjustments liveAdjustments(int k) const override;
  HWND statusWindow(int k) const override;
  QString statusText(int k) const override;
  void setStatusText(int k, const QString& text) override;
  void showCameraAdvice(int k, bool failed) override;
  void showFrameDetails(int k, const QString& format, const QString& compression, const QString& size) override;

  // Open and close the help screen with this screen as its opener; set by the program.
  std::function<void()> openHelpScreen;
  std::function<void()> closeHelpScreen;

 signals:
  // Back has run: the control screen takes over again.
  void returnedToControlScreen();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildTopRow(QWidget* client);
  void buildMenus();
  void connectPane(UnitPane* pane);
  void start();
  void stop();
  void back();
  void flashTick();
  void flashLabel(int unit, int label);
  // Gives every flashing label back its colour and its click; true when
  // there was one.
  bool endFlashes();
  // Places the top row for `units` panes; returns how far the panes move down.
  int placeTopRow(int units);
  void toggleStatusBox();
  void pictureClicked(int unit);
  void help();
  void version();

  model::UnitModel& model_;
  CaptureRun& run_;
  const Plenkit* plenkit_;
  FullScreenView* fullScreen_;

  QWidget* client_ = nullptr;
  std::array<UnitPane*, model::kUnitCount> panes_{};
  std::array<QLineEdit*, model::kUnitCount> text3_{};
  QPushButton* command4_ = nullptr;
  QPushButton* command1_ = nullptr;
  QPushButton* command5_ = nullptr;
  QPushButton* command2_ = nullptr;
  QPushButton* command3_ = nullptr;
  QLineEdit* text6_ = nullptr;
  ClickLabel* label10_ = nullptr;
  ClickLabel* label11_ = nullptr;
  ClickLabel* label12_ = nullptr;
  QTimer flashTimer_;  // label flash
  bool statusHidden_ = false;
  struct Flash {
    bool active = false;
    QColor saved;
  };
  std::array<std::array<Flash, model::kUnitCount>, 8> flash_{};
};

}  // namespace selvane::screens
