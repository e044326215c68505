#include "watcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <cstring>

namespace selvane::web {

namespace {
// While a store is under way the directory is looked at this often: a store
// takes a few milliseconds, and the next picture should not wait a whole poll.
constexpr int kBusyRetryMs = 15;
constexpr uint32_t kWatchMask =
    IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;
}  // namespace

int64_t wallClockMs() { return QDateTime::currentMSecsSinceEpoch(); }

Watcher::Watcher(std::vector<QString> dirs, std::vector<int> numbers, Options options) : options_(options) {
  for (size_t i = 0; i < dirs.size(); ++i) {
    readers_.emplace_back(numbers[i], dirs[i], options_.pollMs);
    health_.emplace_back(i < options_.intervalsMs.size() ? options_.intervalsMs[i] : 0);
  }
  watches_.assign(readers_.size(), -1);
  if (options_.notify) inotifyFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  const int64_t now = wallClockMs();
  std::vector<UnitViewPtr> views;
  for (size_t i = 0; i < readers_.size(); ++i) {
    readers_[i].check(now);
    views.push_back(health_[i].follow(readers_[i].view(), true, now));
  }
  board_ = std::make_unique<Board>(std::move(views));
  updateWatches();
}

Watcher::~Watcher() {
  stop();
  if (inotifyFd_ >= 0) ::close(inotifyFd_);
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void Watcher::setHeartbeat(std::function<void()> beat, int periodMs) {
  heartbeat_ = std::move(beat);
  heartbeatMs_ = heartbeat_ ? periodMs : 0;
}

void Watcher::start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
}

void Watcher::stop() {
  stopping_ = true;
  if (wakeFd_ >= 0) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
  }
  if (thread_.joinable()) thread_.join();
}

void Watcher::checkAll() {
  const int64_t now = wallClockMs();
  for (size_t i = 0; i < readers_.size(); ++i) {
    // A unit's health also moves while nothing happens (a unit goes stale).
    const bool changed = readers_[i].check(now);
    if (UnitViewPtr stamped = health_[i].follow(readers_[i].view(), changed, now))
      board_->update(static_cast<int>(i), std::move(stamped));
  }
}

// A readable directory gets a watch; one that vanished loses it (the kernel
// drops the watch of a deleted directory by itself).
void Watcher::updateWatches() {
  if (inotifyFd_ < 0) return;
  for (size_t i = 0; i < readers_.size(); ++i) {
    const bool readable = readers_[i].view()->readable;
    if (readable && watches_[i] < 0) {
      watches_[i] = ::inotify_add_watch(inotifyFd_, QFile::encodeName(readers_[i].dir()).constData(), kWatchMask);
    } else if (!readable && watches_[i] >= 0) {
      ::inotify_rm_watch(inotifyFd_, watches_[i]);
      watches_[i] = -1;
    }
  }
}

void Watcher::drainNotifications() {
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(inotifyFd_, buffer, sizeof buffer);
    if (n <= 0) return;
    for (ssize_t at = 0; at < n;) {
      inotify_event ev;
      std::memcpy(&ev, buffer + at, sizeof ev);
      if (ev.mask & IN_IGNORED) std::replace(watches_.begin(), watches_.end(), ev.wd, -1);
      at += static_cast<ssize_t>(sizeof(inotify_event) + ev.len);
    }
  }
}

void Watcher::run() {
  int64_t nextBeat = 0;
  while (!stopping_) {
    // The heartbeat comes from this loop itself, after a whole round of
    // looks: a round that hangs stops it.
    int64_t beatIn = INT64_MAX;
    if (heartbeatMs_ > 0) {
      const int64_t now = wallClockMs();
      if (now >= nextBeat) {
        heartbeat_();
        nextBeat = now + heartbeatMs_;
      }
      beatIn = nextBeat - now;
    }
    const bool busy = std::any_of(readers_.begin(), readers_.end(), [](const UnitReader& r) { return r.busy(); });
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {inotifyFd_, POLLIN, 0}};
    const int count = inotifyFd_ >= 0 ? 2 : 1;
    const int wait = busy ? std::min(kBusyRetryMs, options_.pollMs) : options_.pollMs;
    ::poll(fds, count, static_cast<int>(std::clamp<int64_t>(beatIn, 0, wait)));
    if (stopping_) break;
    if (count == 2 && (fds[1].revents & POLLIN)) drainNotifications();
    checkAll();
    updateWatches();
    board_->sweepGone();
  }
}

}  // namespace selvane::web
