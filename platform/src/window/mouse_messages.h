// Translation between Qt mouse events and WM_ mouse messages.
#pragma once
#include <memory>

#include "platform/window.h"

class QEvent;
class QMouseEvent;
class QWidget;

namespace pl::detail {

bool isMouseMessage(UINT msg);
// False for mouse events that have no message (other buttons).
bool messageFromMouseEvent(const QEvent* event, UINT* msg, WPARAM* wParam, LPARAM* lParam);
std::unique_ptr<QMouseEvent> mouseEventFromMessage(QWidget* widget, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace pl::detail
