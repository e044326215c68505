// Tells systemd how the service is doing over $NOTIFY_SOCKET: READY=1 once
// listening, WATCHDOG=1 from the watcher thread (so a watcher that hangs gets
// the service restarted), STOPPING=1 on SIGTERM or SIGINT. The datagram
// protocol is a few lines, so it is spoken here rather than through
// libsystemd: the program then runs the same with or without systemd and
// needs no further library. Without $NOTIFY_SOCKET every call does nothing.
//
// Threads: built on the main thread before any other starts (it reads the
// environment); send() is safe from any thread (one sendto per message).
#pragma once

#include <atomic>
#include <string>

namespace selvane::web {

class ServiceNotifier {
 public:
  // From $NOTIFY_SOCKET, $WATCHDOG_USEC and $WATCHDOG_PID.
  ServiceNotifier();
  ~ServiceNotifier();
  ServiceNotifier(const ServiceNotifier&) = delete;
  ServiceNotifier& operator=(const ServiceNotifier&) = delete;

  bool active() const { return fd_ >= 0; }
  // How often to send WATCHDOG=1 (half the service's WatchdogSec), 0 for never.
  int watchdogPeriodMs() const { return watchdogPeriodMs_; }

  // One message ("READY=1\nSTATUS=..."); false when it could not be sent
  // (logged once).
  bool send(const std::string& message);

 private:
  int fd_ = -1;
  std::string address_;  // sockaddr_un path; a leading NUL for the abstract namespace
  int watchdogPeriodMs_ = 0;
  std::atomic<bool> complained_{false};
};

}  // namespace selvane::web
