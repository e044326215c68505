#include "startup_child.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QLineEdit>
#include <QStyleFactory>
#include <cstdio>
#include <cstdlib>

#include "control_screen/control_screen.h"
#include "platform/services.h"
#include "selvane/model/unit_model.h"

namespace appbench {
namespace {

// Notes the first paint of the watched window.
class PaintWatch : public QObject {
 public:
  bool painted = false;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted = true;
    return QObject::eventFilter(watched, event);
  }
};

double msSince(Clock::time_point start) { return 1000.0 * secondsSince(start); }

}  // namespace

void runStartupChild(int argc, char** argv, Clock::time_point mainEntry) {
  const QString programDir = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
  // As the program's main sets itself up.
  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Selvane"));
  pl_SetAppTitle("Selvane");
  app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  app.setFont(QFont(QStringLiteral("IPAGothic"), 9));
  const double applicationMs = msSince(mainEntry);

  selvane::model::UnitModel model;
  selvane::ControlScreen controlScreen(model);
  const double formMs = msSince(mainEntry);
  PaintWatch watch;
  controlScreen.installEventFilter(&watch);
  QString error;
  if (!controlScreen.load(&error, programDir)) {
    std::printf("failed %s\n", error.toUtf8().constData());
    std::fflush(stdout);
    std::_Exit(2);
  }
  const double loadMs = msSince(mainEntry);
  const auto loaded = Clock::now();
  while (!watch.painted && secondsSince(loaded) < 10) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  const double paintedMs = msSince(mainEntry);
  if (!watch.painted) {
    std::printf("failed the control screen was never painted\n");
    std::fflush(stdout);
    std::_Exit(3);
  }
  std::printf("shown %.3f %.3f %.3f %.3f %s\n", applicationMs, formMs, loadMs, paintedMs,
              controlScreen.cameraCountBox()->text().toUtf8().constData());
  std::fflush(stdout);
  // Only the time to the shown screen counts; no tear-down.
  std::_Exit(0);
}

}  // namespace appbench
