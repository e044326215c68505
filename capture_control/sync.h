// Small synchronisation pieces of the control: an auto-reset event and the
// worker's three command events.
#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace korvex {

// Signalled until one waiter takes it.
class AutoResetEvent {
 public:
  void set() {
    {
      std::lock_guard lock(mutex_);
      signalled_ = true;
    }
    cv_.notify_one();
  }
  void reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
  }
  // Takes the signal if it is there, without waiting.
  bool tryTake() {
    std::lock_guard lock(mutex_);
    return std::exchange(signalled_, false);
  }
  bool wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [this] { return signalled_; })) return false;
    signalled_ = false;
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_ = false;
};

// The quit, start and end commands of the device-check worker: each an
// auto-reset event; a wait takes the first signalled one in that order.
class WorkerCommands {
 public:
  enum Command { kTimeout, kQuit, kStart, kEnd };
  void signal(Command c) {
    {
      std::lock_guard lock(mutex_);
      flags_[c] = true;
    }
    cv_.notify_one();
  }
  // timeout < 0: wait without limit.
  Command wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    auto ready = [this] { return flags_[kQuit] || flags_[kStart] || flags_[kEnd]; };
    if (timeout.count() < 0) {
      cv_.wait(lock, ready);
    } else if (!cv_.wait_for(lock, timeout, ready)) {
      return kTimeout;
    }
    for (Command c : {kQuit, kStart, kEnd}) {
      if (flags_[c]) {
        flags_[c] = false;
        return c;
      }
    }
    return kTimeout;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool flags_[4] = {false, false, false, false};
};

}  // namespace korvex
