#include "loopback_share.h"

#include <arpa/inet.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Connects to (or, with port 0, binds) 127.0.0.1:port; the port, or -1.
int loopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  auto* address = reinterpret_cast<sockaddr*>(&a);
  const bool ok = port == 0 ? ::bind(fd, address, length) == 0 && ::getsockname(fd, address, &length) == 0
                            : ::connect(fd, address, length) == 0;
  ::close(fd);
  return ok ? ntohs(a.sin_port) : -1;
}

}  // namespace

LoopbackShare::LoopbackShare(const QString& folder) {
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);  // smbd's children are reparented to us when it ends
  ::chmod(QFile::encodeName(folder).constData(), 0755);  // the guest reads it
  port_ = loopback(0);
  std::string script = SV_SAMBA_SCRIPT, dir = QFile::encodeName(folder).toStdString(), port = std::to_string(port_),
              work = QFile::encodeName(work_.path()).toStdString(), shell = "bash";
  char* argv[] = {shell.data(), script.data(), dir.data(), port.data(), work.data(), nullptr};
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);  // a group of its own: smbd and its children
  const int spawned = posix_spawnp(&smbd_, "bash", nullptr, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) {
    smbd_ = -1;
    problem_ = "cannot start bash: " + std::string(std::strerror(spawned));
    return;
  }
  const auto end = Clock::now() + std::chrono::seconds(10);
  while (loopback(port_) != port_) {
    if (::waitpid(smbd_, nullptr, WNOHANG) == smbd_ || Clock::now() > end) {
      problem_ = "smbd did not start; see " + work_.filePath("smbd.log").toStdString();
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

LoopbackShare::~LoopbackShare() {
  if (smbd_ <= 0) return;
  ::kill(-smbd_, SIGTERM);
  // Every process of the group is ours to reap by now; wait for the last one
  // before the state folder goes.
  const auto end = Clock::now() + std::chrono::seconds(5);
  while (::waitpid(-smbd_, nullptr, WNOHANG) != -1 || errno != ECHILD) {
    if (Clock::now() > end) ::kill(-smbd_, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string LoopbackShare::url(const std::string& path) const {
  return "smb://127.0.0.1:" + std::to_string(port_) + "/selvane/" + path;
}

std::string LoopbackShare::trouble() const {
  QFile log(work_.filePath("smbd.log"));
  if (!log.open(QIODevice::ReadOnly)) return "no smbd log";
  while (!log.atEnd()) {
    const QByteArray line = log.readLine();
    if (line.contains("PANIC") || line.contains("Could not")) return line.trimmed().toStdString();
  }
  return {};
}
