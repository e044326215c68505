// The header deadline for HTTPS connections. The request gate cannot read
// encrypted headers, so it hands such a connection to libmicrohttpd at its
// first bytes; this clock then holds the connection to the same deadline from
// connecting to the end of its headers. A connection still without whole
// headers at its deadline is shut down, which libmicrohttpd sees as the
// client going away.
//
// The clock holds a duplicate of each socket, so what it shuts down is always
// that connection's socket, even when the library has closed its descriptor
// and the number was given to another connection.
//
// Threads: add() on the gate's thread; headersDone() and closed() on
// libmicrohttpd's thread; the clock runs on a thread of its own; one mutex.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace selvane::web {

class HeaderDeadline {
 public:
  using Clock = std::chrono::steady_clock;

  HeaderDeadline();
  ~HeaderDeadline();
  HeaderDeadline(const HeaderDeadline&) = delete;
  HeaderDeadline& operator=(const HeaderDeadline&) = delete;

  // A connection handed to the library, whose headers must be whole by `deadline`.
  void add(int fd, Clock::time_point deadline);
  // Its headers are whole, or the library let go of it: no deadline any more.
  void headersDone(int fd) { forget(fd); }
  void closed(int fd) { forget(fd); }

 private:
  void forget(int fd);
  void run();

  std::mutex mutex_;
  std::condition_variable changed_;
  struct Pending {
    int duplicate;
    Clock::time_point deadline;
  };
  std::map<int, Pending> pending_;  // by the library's descriptor
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace selvane::web
