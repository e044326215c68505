// Takes the screenshots of every screen, as the operator sees them: the
// program's own style and Japanese font, the real capture control and image
// library, virtual cameras. Run by scripts/screenshots.sh; not a test.
//
//   screenshots OUTDIR
//
// Writes the files named in docs/screens/README.md into OUTDIR, and into
// OUTDIR/checks the capture screen with one and two panes and the control
// screen with its reset rows, which are looked at but not published.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "camera/testing.h"
#include "control_screen/control_screen.h"
#include "control_screen/unit_row.h"
#include "platform/qt_bridge.h"
#include "platform/services.h"
#include "screens/camera_test_screen.h"
#include "screens/capture_screen.h"
#include "screens/full_screen_view.h"
#include "screens/help_screen.h"
#include "screens/processing_dialog.h"
#include "screens/unit_pane.h"
#include "screens/widgets.h"
#include "testkit/com.h"
#include "testkit/program_host.h"
#include "testkit/wait.h"

namespace {

QString outDir;
int failures = 0;

void save(QWidget* w, const QString& name) {
  pumpFor(300);  // posted drawings and repaints land first
  const QString path = outDir + "/" + name;
  if (!w || !w->grab().save(path)) {
    std::fprintf(stderr, "screenshots: could not save %s\n", qUtf8Printable(path));
    ++failures;
    return;
  }
  std::printf("%s\n", qUtf8Printable(path));
}

// One run of the program: a program directory with a settings file in which
// units 1..`used` save JPEG pictures every second into directories of their
// own, on `cameras` virtual cameras; every question answered Yes.
class Station : public testkit::ProgramHost {
 public:
  Station(int cameras, int used) : ProgramHost(cameras, 30, IDYES) {
    QByteArray ini;
    for (int k = 0; k < 6; ++k) {
      const QString unitDir = dir_.filePath(QStringLiteral("unit%1").arg(k + 1));
      QDir().mkpath(unitDir);
      const char* use = k < used ? "1" : "0";
      ini += QStringLiteral("\"%1\",\"%1\",\"\",\"640*480\",\"3000\",\"5\",\"I420\",\"%2/\"\r\n")
                 .arg(QLatin1String(use), unitDir)
                 .toUtf8();
    }
    ini += "\"1\",\"80\"\r\n";
    for (int k = 0; k < 6; ++k) ini += "\"18\",\"10\",\"10\",\"10\",\"10\",\"10\",\"0\",\"0\"\r\n";
    std::string why;
    if (!writeSettings(ini) || !load(&why)) {
      std::fprintf(stderr, "screenshots: %s\n", why.c_str());
      std::exit(1);
    }
  }

  selvane::ControlScreen& control() { return controlScreen(); }
  selvane::screens::CaptureScreen& capture() { return captureScreen(); }

  // "開始" with units 1..n ticked; returns once every pane shows a picture.
  bool start(int n) {
    for (int k = 0; k < 6; ++k) row(k)->check1->setChecked(k < n);
    controlScreen().startButton()->click();
    return waitUntil(
        [&] {
          // Every pane with a picture, taken between two captures: the pane
          // of the unit being captured is cleared (red lamp) until its
          // picture arrives.
          for (int k = 0; k < n; ++k) {
            const auto* p = capture().pane(k);
            if (p->label6->text().isEmpty() || p->label1->palette().color(QPalette::Window) == selvane::screens::kRed)
              return false;
          }
          return capture().running();
        },
        15000);
  }
  void back() { capture().backButton()->click(); }
};

void controlScreenAndItsDialogs() {
  Station station(3, 3);  // rows 4 to 6 without a camera: greyed
  selvane::ControlScreen& control = station.control();
  control.row(4)->text1->setText(QStringLiteral("古いカメラ"));  // a name kept from the settings file
  control.clockBox()->setText(QStringLiteral("2026/12/08 10:00:00"));
  control.clock().stop();
  save(&control, "control-screen.png");

  control.menuBar()->findChild<QAction*>("Verdisp")->trigger();
  save(control.helpScreen(), "help-screen.png");
  control.closeHelp();

  control.openProcessing(0);
  save(control.processingScreen(), "processing-dialog.png");
  control.processingScreen()->close();

  control.openCameraTest(0);
  pumpFor(1500);
  save(control.cameraTestScreen(), "camera-test-screen-1.png");
  control.cameraTestScreen()->close();
  control.row(1)->combo2->setCurrentText(QStringLiteral("320*240"));
  control.row(1)->combo5->setCurrentText(QStringLiteral("RGB"));
  control.openCameraTest(1);
  pumpFor(1500);
  save(control.cameraTestScreen(), "camera-test-screen-2.png");
  control.cameraTestScreen()->close();

  control.menuBar()->findChild<QAction*>("dirdel")->trigger();
  save(&control, "checks/control-screen-reset.png");
}

void captureScreens() {
  Station station(6, 6);
  for (int n : {1, 2, 6}) {
    if (!station.start(n)) {
      std::fprintf(stderr, "screenshots: no pictures with %d units\n", n);
      ++failures;
    }
    save(&station.capture(),
         n == 6 ? QStringLiteral("capture-screen.png") : QStringLiteral("checks/capture-screen-%1.png").arg(n));
    if (n == 6) {
      // A picture click opens the full-screen view of that unit.
      const HWND picture = pl::hwndOf(station.capture().pane(1)->picture1);
      PostMessageA(picture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
      PostMessageA(picture, WM_LBUTTONUP, MK_LBUTTON, MAKELPARAM(5, 5));
      auto* view = station.control().fullScreenView();
      waitUntil([&] { return view->isVisible(); }, 3000);
      pumpFor(1200);
      save(view, "full-screen-view.png");
      PostMessageA(pl::hwndOf(view), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
      waitUntil([&] { return !view->isVisible(); }, 3000);
    }
    station.back();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: screenshots OUTDIR\n");
    return 2;
  }
  outDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  QDir().mkpath(outDir + "/checks");
  pl_SetAppTitle("Selvane");
  selvane::screens::applyProgramLook();

  comtest::RegisteredServer server("Korvex.OCX");  // into a registry of its own
  if (server.result().exitCode != 0) {
    std::fprintf(stderr, "screenshots: cannot register Korvex.OCX: %s\n", server.result().errors.constData());
    return 1;
  }
  controlScreenAndItsDialogs();
  captureScreens();
  return failures == 0 ? 0 : 1;
}
