// selvane: the control screen program of the capture station.
#include <QApplication>
#include <QFont>
#include <QStyleFactory>

#include "control_screen/control_screen.h"
#include "platform/services.h"
#include "selvane/model/unit_model.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Selvane"));
  pl_SetAppTitle("Selvane");
  app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));  // honours the colours that carry state
  app.setFont(QFont(QStringLiteral("IPAGothic"), 9));

  selvane::model::UnitModel model;
  selvane::ControlScreen controlScreen(model);
  QString error;
  if (!controlScreen.load(&error)) {
    MessageBoxA(0, error.toUtf8().constData(), nullptr, MB_OK | MB_ICONERROR);
    return 2;
  }
  return app.exec();
}
