// The C interface of the window layer.
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include "platform/qt_bridge.h"
#include "window/dispatcher.h"
#include "window/mouse_messages.h"
#include "window/window_internal.h"
#include "window/window_text.h"

using pl::detail::Dispatcher;
using pl::detail::EntryPtr;
using pl::detail::HandleTable;

namespace {

// Runs `fn` on the UI thread (blocking) and returns its result, or
// `fallback` without a Qt application.
template <class R, class F>
R onUi(R fallback, F&& fn) {
  Dispatcher* d = Dispatcher::get();
  if (!d) return fallback;
  R result = fallback;
  d->runBlocking([&] { result = fn(); });
  return result;
}

EntryPtr liveEntry(HWND hwnd) {
  EntryPtr e = HandleTable::instance().find(hwnd);
  return e && e->object ? e : nullptr;
}

QObject* toolkitTarget(const EntryPtr& e) { return e->widget ? static_cast<QObject*>(e->widget) : nullptr; }

// Paint on behalf of a procedure chain: the widget draws itself.
LRESULT paintSelf(HWND hwnd) {
  pl::detail::CurrentEvent* cur = pl::detail::currentEvent();
  if (!cur || cur->hwnd != hwnd || cur->msg != WM_PAINT || cur->painted) return 0;
  EntryPtr e = liveEntry(hwnd);
  if (QObject* target = e ? toolkitTarget(e) : nullptr) target->event(cur->event);
  cur->painted = true;
  return 0;
}

}  // namespace

namespace pl {

HWND hwndOf(QWidget* widget) {
  if (!widget) return 0;
  return onUi<HWND>(0, [&] { return Dispatcher::get()->attach(widget); });
}

QWidget* widgetOf(HWND hwnd) {
  EntryPtr e = liveEntry(hwnd);
  return e ? e->widget : nullptr;
}

bool onUiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

}  // namespace pl

PL_API BOOL IsWindow(HWND hwnd) { return liveEntry(hwnd) ? TRUE : FALSE; }

PL_API BOOL DestroyWindow(HWND hwnd) {
  return onUi<BOOL>(FALSE, [&]() -> BOOL {
    EntryPtr e = liveEntry(hwnd);
    if (!e) return FALSE;
    QPointer<QObject> object = e->object;
    Dispatcher::get()->detach(hwnd);
    if (object && !e->owned) object->deleteLater();
    return TRUE;
  });
}

PL_API BOOL SetWindowTextA(HWND hwnd, const char* text) {
  return SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

PL_API int GetWindowTextA(HWND hwnd, char* buffer, int max) {
  if (!buffer || max <= 0) return 0;
  buffer[0] = '\0';
  return static_cast<int>(SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(buffer)));
}

PL_API int GetWindowTextLengthA(HWND hwnd) { return static_cast<int>(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0)); }

PL_API LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return onUi<LRESULT>(0, [&]() -> LRESULT {
    EntryPtr e = liveEntry(hwnd);
    return e ? Dispatcher::get()->deliver(e, msg, wParam, lParam) : 0;
  });
}

PL_API BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Dispatcher* d = Dispatcher::get();
  return d && d->post(hwnd, msg, wParam, lParam) ? TRUE : FALSE;
}

PL_API LONG_PTR GetWindowLongA(HWND hwnd, int index) {
  LONG_PTR value = 0;
  return HandleTable::instance().readLong(hwnd, index, &value) ? value : 0;
}

PL_API LONG_PTR SetWindowLongA(HWND hwnd, int index, LONG_PTR value) {
  LONG_PTR previous = 0;
  return HandleTable::instance().writeLong(hwnd, index, value, &previous) ? previous : 0;
}

PL_API LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

PL_API LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM, LPARAM) {
  // The widget still paints itself (its background); input goes nowhere.
  return msg == WM_PAINT ? paintSelf(hwnd) : 0;
}

PL_API LRESULT ToolkitWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!pl::onUiThread()) return 0;
  EntryPtr e = liveEntry(hwnd);
  if (!e) return 0;
  switch (msg) {
    case WM_PAINT: return paintSelf(hwnd);
    case WM_SETTEXT: {
      const char* text = reinterpret_cast<const char*>(lParam);
      const QString value = QString::fromUtf8(text ? text : "");
      if (e->widget)
        pl::detail::setObjectText(e->widget, value);
      else
        e->text = value;
      return TRUE;
    }
    case WM_GETTEXT: {
      const QString value = e->widget ? pl::detail::objectText(e->widget) : e->text;
      return pl::detail::copyUtf8(value.toUtf8(), reinterpret_cast<char*>(lParam), static_cast<int>(wParam));
    }
    case WM_GETTEXTLENGTH: return (e->widget ? pl::detail::objectText(e->widget) : e->text).toUtf8().size();
    default: break;
  }
  if (pl::detail::isMouseMessage(msg) && e->widget) {
    QObject* target = e->widget;
    pl::detail::CurrentEvent* cur = pl::detail::currentEvent();
    if (cur && cur->hwnd == hwnd && cur->msg == msg && cur->event) {
      target->event(cur->event);  // the original input, untouched
    } else if (auto event = pl::detail::mouseEventFromMessage(e->widget, msg, wParam, lParam)) {
      target->event(event.get());
    }
    return 0;
  }
  bool handled = false;
  LRESULT r = pl::detail::comboMessage(e->widget, msg, wParam, lParam, &handled);
  return handled ? r : 0;
}

PL_API UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT ms, TIMERPROC fn) {
  return onUi<UINT_PTR>(0, [&]() -> UINT_PTR {
    EntryPtr e = liveEntry(hwnd);
    if (!e) return 0;
    QTimer*& timer = e->timers[id];
    if (!timer) {
      timer = new QTimer(Dispatcher::get());
      timer->setTimerType(Qt::CoarseTimer);
    }
    timer->disconnect();
    QObject::connect(timer, &QTimer::timeout, [hwnd, id, fn] {
      if (fn)
        fn(hwnd, WM_TIMER, id, static_cast<DWORD>(QDateTime::currentMSecsSinceEpoch()));
      else
        pl::detail::callProc(hwnd, WM_TIMER, id, 0);
    });
    timer->start(static_cast<int>(std::max<UINT>(ms, 1)));
    return id;
  });
}

PL_API BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  return onUi<BOOL>(FALSE, [&]() -> BOOL {
    EntryPtr e = liveEntry(hwnd);
    if (!e) return FALSE;
    auto it = e->timers.find(id);
    if (it == e->timers.end()) return FALSE;
    delete it->second;
    e->timers.erase(it);
    return TRUE;
  });
}

PL_API BOOL GetClientRect(HWND hwnd, RECT* rect) {
  if (!rect) return FALSE;
  return onUi<BOOL>(FALSE, [&]() -> BOOL {
    EntryPtr e = liveEntry(hwnd);
    if (!e) return FALSE;
    *rect = RECT{0, 0, 0, 0};
    if (e->widget) {
      rect->right = e->widget->width();
      rect->bottom = e->widget->height();
    }
    return TRUE;
  });
}

PL_API BOOL IsWindowVisible(HWND hwnd) {
  return onUi<BOOL>(FALSE, [&]() -> BOOL {
    EntryPtr e = liveEntry(hwnd);
    return e && e->widget && e->widget->isVisible() ? TRUE : FALSE;
  });
}

PL_API HWND pl_CreateMessageWindow(WNDPROC proc, LONG_PTR user) {
  return onUi<HWND>(0, [&]() -> HWND {
    Dispatcher* d = Dispatcher::get();
    HWND hwnd = d->attachOwned(new QObject(d), nullptr, true);
    SetWindowLongA(hwnd, GWL_USERDATA, user);
    if (proc) SetWindowLongA(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    return hwnd;
  });
}

PL_API HWND pl_CreateChildWindow(HWND parent, WNDPROC proc, LONG_PTR user) {
  return onUi<HWND>(0, [&]() -> HWND {
    QWidget* host = pl::widgetOf(parent);
    if (!host) return 0;
    auto* child = new QWidget(host);
    child->hide();
    HWND hwnd = Dispatcher::get()->attachOwned(child, child, true);
    SetWindowLongA(hwnd, GWL_USERDATA, user);
    if (proc) SetWindowLongA(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    return hwnd;
  });
}

namespace pl::detail {

bool showPicture(HWND hwnd, const QRect& dest, QImage image) {
  Dispatcher* d = Dispatcher::get();
  return d && d->postPicture(hwnd, dest, std::move(image));
}

}  // namespace pl::detail

PL_API BOOL pl_WaitPaintingOnly(DWORD ms, PL_WAIT_DONE done, void* context) {
  if (!done) return FALSE;
  QElapsedTimer clock;
  clock.start();
  Dispatcher* d = pl::onUiThread() ? Dispatcher::get() : nullptr;
  if (!d) {
    while (!done(context)) {
      if (clock.elapsed() >= ms) return FALSE;
      QThread::msleep(1);
    }
    return TRUE;
  }
  d->restrict();
  // The tick bounds how long the event loop sleeps between looks at `done`.
  QTimer tick;
  tick.start(2);
  BOOL result = TRUE;
  while (!done(context)) {
    if (clock.elapsed() >= ms) {
      result = FALSE;
      break;
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
  }
  d->unrestrict();
  return result;
}

PL_API void pl_WakeUiThread(void) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(app->thread())) dispatcher->wakeUp();
}
