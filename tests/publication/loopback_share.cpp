#include "loopback_share.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <cerrno>
#include <chrono>
#include <thread>

LoopbackShare::LoopbackShare(const QString& folder) {
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);                    // smbd's children are reparented to us when it ends
  ::chmod(QFile::encodeName(folder).constData(), 0755);  // the guest reads it
  {
    QTcpServer free;
    free.listen(QHostAddress::LocalHost, 0);
    port_ = free.serverPort();
  }
  smbd_.setChildProcessModifier([] { ::setpgid(0, 0); });
  smbd_.setProcessChannelMode(QProcess::ForwardedChannels);
  smbd_.start("bash", {SV_SAMBA_SCRIPT, folder, QString::number(port_), work_.path()});
  for (int attempt = 0; attempt < 500; ++attempt) {  // 10 s
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port_));
    if (probe.waitForConnected(1000)) return;
    if (smbd_.state() == QProcess::NotRunning) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  problem_ = "smbd did not start; see " + work_.filePath("smbd.log").toStdString();
}

LoopbackShare::~LoopbackShare() {
  if (smbd_.state() == QProcess::NotRunning) return;
  const pid_t group = static_cast<pid_t>(smbd_.processId());
  ::kill(-group, SIGTERM);
  smbd_.waitForFinished(5000);
  // smbd's children are ours to reap by now; wait for the last one before
  // its state folder goes.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (::waitpid(-group, nullptr, WNOHANG) != -1 || errno != ECHILD) {
    if (std::chrono::steady_clock::now() > end) ::kill(-group, SIGKILL);
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
