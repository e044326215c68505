#include "screens/full_screen_view.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

#include "screens/widgets.h"

namespace selvane::screens {

FullScreenView::FullScreenView(model::UnitModel& model)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), model_(model) {
  setWindowTitle(QStringLiteral("Form7"));
  tag(this, "Form7", QStringLiteral("全画面表示"));
  setBackColor(this, Qt::black);
  if (QScreen* s = QGuiApplication::primaryScreen()) setGeometry(s->geometry());
  setEnabled(false);
  hide();
}

void FullScreenView::open() {
  setEnabled(true);
  show();
  raise();
}

void FullScreenView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  model_.fullScreenShown = 0;
  setEnabled(false);
  hide();
  emit closedByClick();
}

}  // namespace selvane::screens
