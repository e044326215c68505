#include "service_notify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QtDebug>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace selvane::web {

ServiceNotifier::ServiceNotifier() {
  const char* socketPath = std::getenv("NOTIFY_SOCKET");
  if (!socketPath || (socketPath[0] != '/' && socketPath[0] != '@')) return;
  address_ = socketPath;
  if (address_.size() >= sizeof(sockaddr_un::sun_path)) {
    qWarning("NOTIFY_SOCKET is longer than a socket address; systemd is not told anything");
    return;
  }
  if (address_[0] == '@') address_[0] = '\0';
  fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    qWarning("cannot make a socket to notify systemd: %s", std::strerror(errno));
    return;
  }
  // The watchdog is meant for this process only when WATCHDOG_PID says so
  // (or says nothing).
  const char* usec = std::getenv("WATCHDOG_USEC");
  const char* pid = std::getenv("WATCHDOG_PID");
  if (usec && (!pid || std::strtoll(pid, nullptr, 10) == static_cast<long long>(::getpid()))) {
    const long long us = std::strtoll(usec, nullptr, 10);
    if (us > 0) watchdogPeriodMs_ = static_cast<int>(std::max(1LL, std::min(us / 2000, 24LL * 3600 * 1000)));
  }
}

ServiceNotifier::~ServiceNotifier() {
  if (fd_ >= 0) ::close(fd_);
}

bool ServiceNotifier::send(const std::string& message) {
  if (fd_ < 0) return false;
  sockaddr_un to{};
  to.sun_family = AF_UNIX;
  std::memcpy(to.sun_path, address_.data(), address_.size());
  const auto length =
      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + address_.size() + (address_[0] == '\0' ? 0 : 1));
  ssize_t n;
  do n = ::sendto(fd_, message.data(), message.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), length);
  while (n < 0 && errno == EINTR);
  if (n == static_cast<ssize_t>(message.size())) return true;
  const int err = errno;
  if (!complained_.exchange(true))
    qWarning("cannot notify systemd on %s: %s", std::getenv("NOTIFY_SOCKET"), std::strerror(err));
  return false;
}

}  // namespace selvane::web
