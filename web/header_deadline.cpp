#include "header_deadline.h"

#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>

namespace selvane::web {

HeaderDeadline::HeaderDeadline() : thread_([this] { run(); }) {}

HeaderDeadline::~HeaderDeadline() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
  for (const auto& [fd, p] : pending_) ::close(p.duplicate);
}

void HeaderDeadline::add(int fd, Clock::time_point deadline) {
  const int duplicate = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (duplicate < 0) return;  // out of descriptors: the library's idle time-out still applies
  {
    std::lock_guard lock(mutex_);
    if (const auto old = pending_.find(fd); old != pending_.end()) ::close(old->second.duplicate);
    pending_[fd] = {duplicate, deadline};
  }
  changed_.notify_all();
}

void HeaderDeadline::forget(int fd) {
  std::lock_guard lock(mutex_);
  if (const auto it = pending_.find(fd); it != pending_.end()) {
    ::close(it->second.duplicate);
    pending_.erase(it);
  }
}

void HeaderDeadline::run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    const auto now = Clock::now();
    auto next = Clock::time_point::max();
    for (auto it = pending_.begin(); it != pending_.end();) {
      if (it->second.deadline <= now) {
        ::shutdown(it->second.duplicate, SHUT_RDWR);
        ::close(it->second.duplicate);
        it = pending_.erase(it);
      } else {
        next = std::min(next, it->second.deadline);
        ++it;
      }
    }
    if (next == Clock::time_point::max())
      changed_.wait(lock);
    else
      changed_.wait_until(lock, next);
  }
}

}  // namespace selvane::web
