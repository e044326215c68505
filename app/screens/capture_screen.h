// The capture screen (object name Form1): six unit panes, Start/Stop/Back, the one-second
// capture scheduler and the adjustment-label flashes. The control screen
// prepares it at Start and handles the capture events that fill its panes.
// UI thread only.
#pragma once
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <functional>

#include "screens/capture_pacing.h"
#include "selvane/model/unit_model.h"

class QLineEdit;
class QPushButton;

namespace selvane {
class KorvexClient;
struct Plenkit;
}  // namespace selvane

namespace selvane::screens {

class ClickLabel;
class FullScreenView;
class UnitPane;

class CaptureScreen : public QMainWindow {
  Q_OBJECT
 public:
  // Client area as designed, in twips.
  static constexpr int kDesignWidth = 9840;
  static constexpr int kDesignHeight = 8865;

  CaptureScreen(model::UnitModel& model, KorvexClient& korvex, const Plenkit* plenkit, FullScreenView* fullScreen);

  UnitPane* pane(int k) const { return panes_[static_cast<size_t>(k)]; }
  QPushButton* startButton() const { return command4_; }  // "開始"
  QPushButton* stopButton() const { return command1_; }   // "停止"
  QPushButton* backButton() const { return command3_; }   // "戻る"
  QLineEdit* statusBox() const { return text6_; }
  ClickLabel* normalLabel() const { return label11_; }
  ClickLabel* safeLabel() const { return label12_; }
  QLineEdit* displayWindow(int k) const { return text3_[static_cast<size_t>(k)]; }
  bool running() const { return running_; }
  // Counts the runs (each Start): a picture held back for publication
  // belongs to the run it was asked in.
  int runNumber() const { return runNumber_; }
  CapturePacing& pacing() { return pacing_; }
  QTimer& scheduler() { return scheduler_; }
  QTimer& flashTimer() { return flashTimer_; }

  // The client size the screen had when it loaded, in twips.
  int fullWidth() const { return kDesignWidth; }
  int fullHeight() const { return kDesignHeight; }
  // Sizes the screen for the highest unit shown and shows panes 1..n only.
  void layoutForUnits(int n);
  // One tick of the capture scheduler (Timer1).
  void schedulerTick();
  // The capture event of unit k (0-based) has been handled. A unit whose
  // interval ran out while its frame was pending is asked as soon as its
  // interval has passed since its last request (at once, or by a single-shot
  // timer), not on the next tick: otherwise a unit whose frame comes just
  // after a tick waits a whole extra second, and six units at 1000 ms would
  // get a picture only every second tick or so. A unit is never asked sooner
  // than its interval after its last request.
  void frameHandled(int k);

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
  // CaptureGo for unit k; on success the lamp turns green and the unit is pending.
  void requestCapture(int k);
  void askWhenDue(int k);
  void askHeldUnit(int k);
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
  KorvexClient& korvex_;
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
  QTimer scheduler_;  // capture scheduler
  QTimer flashTimer_;  // label flash
  CapturePacing pacing_;
  std::array<bool, model::kUnitCount> askScheduled_{};

  bool running_ = false;
  int runNumber_ = 0;
  bool statusHidden_ = false;
  struct Flash {
    bool active = false;
    QColor saved;
  };
  std::array<std::array<Flash, model::kUnitCount>, 8> flash_{};
};

}  // namespace selvane::screens
