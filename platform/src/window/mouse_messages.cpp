#include "window/mouse_messages.h"

#include <QMouseEvent>
#include <QWidget>

namespace pl::detail {

bool isMouseMessage(UINT msg) { return msg >= WM_MOUSEMOVE && msg <= WM_RBUTTONDBLCLK; }

bool messageFromMouseEvent(const QEvent* event, UINT* msg, WPARAM* wParam, LPARAM* lParam) {
  const auto* me = static_cast<const QMouseEvent*>(event);
  const bool left = me->button() == Qt::LeftButton;
  const bool right = me->button() == Qt::RightButton;
  switch (event->type()) {
    case QEvent::MouseMove: *msg = WM_MOUSEMOVE; break;
    case QEvent::MouseButtonPress:
      if (!left && !right) return false;
      *msg = left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN;
      break;
    case QEvent::MouseButtonRelease:
      if (!left && !right) return false;
      *msg = left ? WM_LBUTTONUP : WM_RBUTTONUP;
      break;
    case QEvent::MouseButtonDblClick:
      if (!left && !right) return false;
      *msg = left ? WM_LBUTTONDBLCLK : WM_RBUTTONDBLCLK;
      break;
    default: return false;
  }
  WPARAM keys = 0;
  if (me->buttons() & Qt::LeftButton) keys |= MK_LBUTTON;
  if (me->buttons() & Qt::RightButton) keys |= MK_RBUTTON;
  if (me->modifiers() & Qt::ShiftModifier) keys |= MK_SHIFT;
  if (me->modifiers() & Qt::ControlModifier) keys |= MK_CONTROL;
  *wParam = keys;
  const QPoint p = me->position().toPoint();
  *lParam = MAKELPARAM(p.x(), p.y());
  return true;
}

std::unique_ptr<QMouseEvent> mouseEventFromMessage(QWidget* widget, UINT msg, WPARAM wParam, LPARAM lParam) {
  QEvent::Type type = QEvent::MouseMove;
  Qt::MouseButton button = Qt::NoButton;
  switch (msg) {
    case WM_LBUTTONDOWN:
      type = QEvent::MouseButtonPress;
      button = Qt::LeftButton;
      break;
    case WM_LBUTTONUP:
      type = QEvent::MouseButtonRelease;
      button = Qt::LeftButton;
      break;
    case WM_LBUTTONDBLCLK:
      type = QEvent::MouseButtonDblClick;
      button = Qt::LeftButton;
      break;
    case WM_RBUTTONDOWN:
      type = QEvent::MouseButtonPress;
      button = Qt::RightButton;
      break;
    case WM_RBUTTONUP:
      type = QEvent::MouseButtonRelease;
      button = Qt::RightButton;
      break;
    case WM_RBUTTONDBLCLK:
      type = QEvent::MouseButtonDblClick;
      button = Qt::RightButton;
      break;
    case WM_MOUSEMOVE: break;
    default: return nullptr;
  }
  Qt::MouseButtons buttons;
  if (wParam & MK_LBUTTON) buttons |= Qt::LeftButton;
  if (wParam & MK_RBUTTON) buttons |= Qt::RightButton;
  // Qt's convention: a press includes its button, a release no longer does.
  if (type == QEvent::MouseButtonRelease)
    buttons &= ~Qt::MouseButtons(button);
  else if (button != Qt::NoButton)
    buttons |= button;
  Qt::KeyboardModifiers mods;
  if (wParam & MK_SHIFT) mods |= Qt::ShiftModifier;
  if (wParam & MK_CONTROL) mods |= Qt::ControlModifier;
  const QPointF local(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
  return std::make_unique<QMouseEvent>(type, local, widget->mapToGlobal(local), button, buttons, mods);
}

}  // namespace pl::detail
