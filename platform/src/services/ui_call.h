// Helpers for the services that show windows: whether widgets can be shown at
// all, and running a piece of work on the UI thread.
#pragma once
#include <QApplication>
#include <QMetaObject>
#include <QThread>

namespace pl::services {

// True when a widget application exists, so boxes and dialogs can be shown.
inline bool haveWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

// Runs `fn` on the UI thread and returns its result. A caller on another
// thread blocks until the UI thread has run it, so that thread must not be
// one the UI thread is waiting for. Needs a Qt application object.
template <typename Fn>
auto onUiThread(Fn fn) -> decltype(fn()) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app->thread() == QThread::currentThread()) return fn();
  decltype(fn()) result{};
  QMetaObject::invokeMethod(
      app, [&] { result = fn(); }, Qt::BlockingQueuedConnection);
  return result;
}

}  // namespace pl::services
