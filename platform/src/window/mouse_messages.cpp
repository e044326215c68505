#include "window/mouse_messages.h"

#include <QMouseEvent>
#include <QWidget>
#include <algorithm>
#include <iterator>

namespace pl::detail {

namespace {

// The button messages and the events they stand for, both ways.
struct ButtonMessage {
  UINT msg;
  QEvent::Type type;
  Qt::MouseButton button;
};
constexpr ButtonMessage kButtonMessages[] = {
    {WM_LBUTTONDOWN, QEvent::MouseButtonPress, Qt::LeftButton},
    {WM_LBUTTONUP, QEvent::MouseButtonRelease, Qt::LeftButton},
    {WM_LBUTTONDBLCLK, QEvent::MouseButtonDblClick, Qt::LeftButton},
    {WM_RBUTTONDOWN, QEvent::MouseButtonPress, Qt::RightButton},
    {WM_RBUTTONUP, QEvent::MouseButtonRelease, Qt::RightButton},
    {WM_RBUTTONDBLCLK, QEvent::MouseButtonDblClick, Qt::RightButton},
};

template <class Match>
const ButtonMessage* findButtonMessage(Match match) {
  const auto* end = std::end(kButtonMessages);
  const auto* found = std::find_if(std::begin(kButtonMessages), end, match);
  return found != end ? found : nullptr;
}

}  // namespace

bool isMouseMessage(UINT msg) { return msg >= WM_MOUSEMOVE && msg <= WM_RBUTTONDBLCLK; }

bool messageFromMouseEvent(const QEvent* event, UINT* msg, WPARAM* wParam, LPARAM* lParam) {
  const auto* me = static_cast<const QMouseEvent*>(event);
  if (event->type() == QEvent::MouseMove) {
    *msg = WM_MOUSEMOVE;
  } else {
    const ButtonMessage* m =
        findButtonMessage([&](const ButtonMessage& b) { return b.type == event->type() && b.button == me->button(); });
    if (!m) return false;  // other buttons and event types have no message
    *msg = m->msg;
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
  if (msg != WM_MOUSEMOVE) {
    const ButtonMessage* m = findButtonMessage([&](const ButtonMessage& b) { return b.msg == msg; });
    if (!m) return nullptr;
    type = m->type;
    button = m->button;
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
