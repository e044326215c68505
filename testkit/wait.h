// Waits of the tests and benchmarks. waitUntil and pumpFor run the calling
// (UI) thread's event loop meanwhile; waitFor only sleeps, for conditions that
// other threads or processes bring about.
#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <chrono>
#include <thread>

// Runs the UI thread's event loop until `done` holds or `ms` pass.
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

// Polls `done` every `pollMs` until it holds or `ms` pass, without an event loop.
template <class Pred>
bool waitFor(Pred done, int ms, int pollMs = 2) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }
  return true;
}
