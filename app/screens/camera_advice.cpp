#include "screens/camera_advice.h"

#include <QLabel>
#include <QLineEdit>

#include "camera/capture.h"
#include "screens/unit_pane.h"
#include "screens/widgets.h"

namespace selvane {

void showCameraAdvice(screens::UnitPane* pane, int k, bool failed) {
  char text[1024];
  const QString advice =
      failed && cg_ListedCameraAdvice(k, text, sizeof text) > 0 ? QString::fromUtf8(text) : QString();
  auto* label = pane->picture1->findChild<QLabel*>(QStringLiteral("cameraAdvice"), Qt::FindDirectChildrenOnly);
  if (advice.isEmpty()) {
    if (label) label->hide();
    pane->text1->setToolTip(QString());
    return;
  }
  if (!label) {
    label = new QLabel(pane->picture1);
    label->setObjectName(QStringLiteral("cameraAdvice"));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("background: rgba(255,255,255,220); color: #c00000; padding: 4px;"));
  }
  label->setText(advice);
  label->setGeometry(pane->picture1->rect());
  label->show();
  label->raise();
  pane->text1->setToolTip(advice);
}

}  // namespace selvane
