// Runs the UI thread's event loop until `done` holds or `ms` pass.
#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

template <class Pred>
bool waitUntil(Pred done, int ms = 3000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  return true;
}

// Lets posted work run for `ms` regardless.
inline void pumpFor(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
}
