// The real selvane-web program as a child of a benchmark: started on a free
// loopback port, its CPU time, bytes read and resident set read from /proc.
#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <chrono>
#include <thread>

#include "testkit/process.h"
#include "testkit/web/raw_client.h"

namespace webbench {

struct ProcessReading {
  double cpuSeconds = -1;
  double rssKiB = -1;
  double readBytes = -1;  // read() and recv() alike (rchar)
};

inline ProcessReading readProcess(qint64 pid) {
  ProcessReading r;
  r.cpuSeconds = testkit::cpuSeconds(static_cast<long>(pid));
  r.rssKiB = testkit::residentKiB(static_cast<long>(pid));
  QFile io(QStringLiteral("/proc/%1/io").arg(pid));
  if (io.open(QIODevice::ReadOnly))
    for (const QByteArray& line : io.readAll().split('\n'))
      if (line.startsWith("rchar:")) r.readBytes = line.mid(6).trimmed().toDouble();
  return r;
}

// Starts the built program with `args` on a free loopback port and waits
// until it answers; false when it did not start.
inline bool startServer(QProcess& server, QStringList args, uint16_t* port) {
  *port = webtest::freePort();
  args << "--listen" << QStringLiteral("127.0.0.1:%1").arg(*port);
  server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  server.start(QCoreApplication::applicationDirPath() + "/../selvane-web", args);
  if (!server.waitForStarted()) return false;
  for (int i = 0; i < 50; ++i) {
    if (webtest::httpGet(*port, "/units", {}, 200).status != 0) return true;  // 401 with --users
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

}  // namespace webbench
