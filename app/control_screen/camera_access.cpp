#include "control_screen/camera_access.h"

#include <QString>
#include <QtGlobal>

#include "camera/capture.h"
#include "platform/services.h"

namespace selvane {

void tellForbiddenCameras(HWND owner) {
  char nodes[2048];
  if (cg_ForbiddenVideoNodes(nodes, sizeof nodes) <= 0) return;
  qWarning("video devices that this user may not open (Permission denied): %s",
           QString::fromUtf8(nodes).replace(QLatin1Char('\n'), QLatin1String(", ")).toUtf8().constData());
  const QString text = QStringLiteral(
                           "次のカメラ装置を開く権限がないため、カメラ一覧に入っていません。\n\n%1\n\n"
                           "このユーザーを video グループに加えてから（例: sudo usermod -aG video %2）、"
                           "ログインし直してください。")
                           .arg(QString::fromUtf8(nodes), qEnvironmentVariable("USER", QStringLiteral("<ユーザー名>")));
  MessageBoxA(owner, text.toUtf8().constData(), nullptr, MB_OK | MB_ICONWARNING);
}

}  // namespace selvane
