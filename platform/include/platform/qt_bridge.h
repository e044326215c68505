// C++ side of the window layer: the meeting point between Qt widgets and the
// handle numbers the components pass around. UI thread only.
#pragma once
#include "platform/export.h"
#include "platform/window.h"

class QObject;
class QWidget;

namespace pl {

// The handle of a widget, made on first use and valid until the widget is
// destroyed; 0 for null.
PL_VISIBLE HWND hwndOf(QWidget* widget);

// The widget behind a handle; nullptr for unknown, stale or message-only
// handles.
PL_VISIBLE QWidget* widgetOf(HWND hwnd);

// True on the thread that owns the windows.
PL_VISIBLE bool onUiThread();

}  // namespace pl
