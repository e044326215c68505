// selvane: the control screen program of the capture station.
#include <QApplication>

#include "control_screen/control_screen.h"
#include "control_screen/stop_signals.h"
#include "platform/services.h"
#include "screens/widgets.h"
#include "selvane/model/unit_model.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Selvane"));
  pl_SetAppTitle("Selvane");
  selvane::screens::applyProgramLook();

  selvane::model::UnitModel model;
  selvane::ControlScreen controlScreen(model);
  QString error;
  if (!controlScreen.load(&error)) {
    MessageBoxA(0, error.toUtf8().constData(), nullptr, MB_OK | MB_ICONERROR);
    return 2;
  }
  selvane::StopSignals stopSignals([&controlScreen](int) { controlScreen.endWithoutAsking(); });
  return app.exec();
}
