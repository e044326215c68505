// selvane: the control screen program of the capture station.
#include <QApplication>
#include <QLoggingCategory>
#include <cstdio>
#include <cstring>

#include "camera/capture.h"
#include "control_screen/control_screen.h"
#include "control_screen/stop_signals.h"
#include "platform/services.h"
#include "screens/widgets.h"
#include "selvane/model/unit_model.h"

namespace {

// `selvane --list-cameras`: the cameras in the order the station's camera
// lists show them, and the nodes this user may not open, without a window.
int listCameras() {
  QLoggingCategory::setFilterRules(QStringLiteral("default.info=false"));  // the lines below say it all
  CG_DEVENUM* cameras = nullptr;
  if (FAILED(cg_CreateDeviceEnumerator(&cameras))) return 1;
  int count = 0;
  CG_DEVICE* camera = nullptr;
  while (cg_DeviceEnumNext(cameras, &camera) == S_OK) {
    char line[4096];
    if (cg_DeviceDescription(camera, line, sizeof line) >= 0) std::printf("%d. %s\n", ++count, line);
    cg_DeviceRelease(camera);
  }
  cg_DeviceEnumRelease(cameras);
  if (count == 0) std::puts("no camera found");
  char nodes[2048];
  if (cg_ForbiddenVideoNodes(nodes, sizeof nodes) > 0)
    std::printf("not listed, this user may not open them (join the video group and log in again):\n%s\n", nodes);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--list-cameras") == 0) return listCameras();
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
