// Shared helpers of the services tests: a child program run to its end, and
// acting on the next modal dialog from inside its own event loop.
#pragma once
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "platform/services.h"

namespace svtest {

// Runs `command` to its end; returns its exit code (-1000 when it could not).
inline int run(const std::string& command, DWORD flags = 0) {
  const PL_PROCESS child = pl_StartProcess(command.c_str(), flags);
  if (child == 0) return -1000;
  int code = -1000;
  const bool ended = pl_WaitProcess(child, 10000, &code);
  pl_CloseProcess(child);
  return ended ? code : -1000;
}

// Polls for the application's modal widget and hands it to `act` once. A
// dialog that `act` leaves open is rejected after 5 s, so a failing test
// cannot hang.
inline void whenModalAppears(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer(qApp);
  auto ticks = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act, ticks] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
      if (++*ticks > 500) timer->deleteLater();
      return;
    }
    timer->stop();
    timer->deleteLater();
    QPointer<QDialog> dialog = qobject_cast<QDialog*>(modal);
    act(modal);
    QTimer::singleShot(5000, qApp, [dialog] {
      if (dialog && dialog->isVisible()) dialog->reject();
    });
  });
  timer->start(10);
}

}  // namespace svtest
