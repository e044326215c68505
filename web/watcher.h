// The watcher thread: looks at every unit's directory once per poll period
// and puts what changed on the board. Polling is what finds pictures written
// by another computer on a network share; inotify is added on top, so that a
// picture stored on this computer is seen at once. The thread owns the unit
// readers; start() and stop() are called from one controlling thread.
#pragma once

#include "board.h"
#include "unit_health.h"
#include "unit_reader.h"

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace selvane::web {

class Watcher {
 public:
  struct Options {
    int pollMs = 200;
    bool notify = true;                // add inotify watches where the kernel supports them
    std::vector<int64_t> intervalsMs;  // each unit's own interval; 0 or missing: from its pictures
  };
  Watcher(std::vector<QString> dirs, std::vector<int> numbers, Options options);
  ~Watcher();
  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;

  // The board, filled with a first look at every directory.
  Board& board() { return *board_; }

  // `beat` runs on the watcher thread at least every `periodMs` while it
  // works (the service's watchdog). Before start().
  void setHeartbeat(std::function<void()> beat, int periodMs);

  void start();
  void stop();  // returns once the thread has ended

 private:
  void run();
  void checkAll();
  void updateWatches();
  void drainNotifications();

  Options options_;
  std::vector<UnitReader> readers_;
  std::vector<HealthTracker> health_;  // one per reader
  std::vector<int> watches_;
  std::unique_ptr<Board> board_;
  int inotifyFd_ = -1;
  int wakeFd_ = -1;
  std::atomic<bool> stopping_{false};
  std::function<void()> heartbeat_;
  int heartbeatMs_ = 0;
  std::thread thread_;
};

int64_t wallClockMs();

}  // namespace selvane::web
