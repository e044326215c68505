// What a soak of the program measures from outside: when each unit's picture
// is published (the rename of a slot file into its write directory, seen by
// inotify, so no publication is missed however close two come), and how long
// a message posted to the UI thread waits (a capture's wait holds it back as
// it holds the operator's input). UI thread only.
#pragma once
#include <sys/inotify.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "input_probe.h"
#include "process_stats.h"

namespace appbench {

class PublicationLog {
 public:
  static constexpr int kUnits = 6;
  // One write directory per unit, in unit order (at most six).
  explicit PublicationLog(const QStringList& dirs) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    wd_.fill(-1);
    for (int k = 0; k < kUnits && k < dirs.size(); ++k) {
      wd_[static_cast<size_t>(k)] = inotify_add_watch(fd_, dirs[k].toUtf8().constData(), IN_MOVED_TO);
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { drain(); });
  }
  ~PublicationLog() { close(fd_); }
  PublicationLog(const PublicationLog&) = delete;
  PublicationLog& operator=(const PublicationLog&) = delete;

  // Mean time between two publications of unit k after `from` seconds into
  // the log (warm-up left out); -1 with fewer than two.
  double meanIntervalSeconds(int k, Clock::time_point from) const {
    std::vector<Clock::time_point> t;
    for (Clock::time_point p : at_[static_cast<size_t>(k)])
      if (p >= from) t.push_back(p);
    if (t.size() < 2) return -1;
    return secondsSince(t.front(), t.back()) / static_cast<double>(t.size() - 1);
  }
  // Shortest time between two publications of unit k after `from`; -1 with
  // fewer than two.
  double minGapSeconds(int k, Clock::time_point from) const {
    double shortest = -1;
    const std::vector<Clock::time_point>& at = at_[static_cast<size_t>(k)];
    for (size_t i = 1; i < at.size(); ++i)
      if (at[i - 1] >= from && (shortest < 0 || secondsSince(at[i - 1], at[i]) < shortest))
        shortest = secondsSince(at[i - 1], at[i]);
    return shortest;
  }
  size_t count(int k) const { return at_[static_cast<size_t>(k)].size(); }

 private:
  void drain() {
    alignas(inotify_event) char buf[4096];
    for (;;) {
      const ssize_t n = read(fd_, buf, sizeof buf);
      if (n <= 0) return;
      for (ssize_t i = 0; i < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(buf + i);
        const QString name = e->len ? QString::fromUtf8(e->name) : QString();
        if (name.startsWith(QLatin1String("cap")) && !name.startsWith(QLatin1String("cap.ctl"))) {
          for (int k = 0; k < kUnits; ++k)
            if (wd_[static_cast<size_t>(k)] == e->wd) at_[static_cast<size_t>(k)].push_back(Clock::now());
        }
        i += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      }
    }
  }

  int fd_;
  std::array<int, kUnits> wd_{};
  std::array<std::vector<Clock::time_point>, kUnits> at_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

using bench::InputProbe;

}  // namespace appbench
