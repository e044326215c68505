// selvane-web: the reader side of the station's published pictures, on the
// network. The main thread parses the command line, starts the watcher and
// the HTTP server, and then only waits for SIGINT or SIGTERM (SIGHUP is
// logged and ignored: the units are read from the command line once).
#include "http_server.h"
#include "options.h"
#include "service_notify.h"
#include "tls.h"
#include "watcher.h"

#include <malloc.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>

#include <QCoreApplication>
#include <QtGlobal>

using namespace selvane::web;

namespace {

// The logins and the certificate; false (said on stderr) when a file cannot
// be used.
bool loadAccess(const Options& o, Logins* logins, HttpServer::Options* server) {
  QString error;
  if (!o.usersFile.isEmpty()) {
    if (!logins->load(o.usersFile, &error)) {
      qCritical("%s", qUtf8Printable(error));
      return false;
    }
    server->logins = logins;
    qInfo("%zu login(s) from %s", logins->size(), qUtf8Printable(o.usersFile));
  }
  if (!o.tlsCert.isEmpty() &&
      (!readPem(o.tlsCert, &server->tlsCert, &error) || !readPem(o.tlsKey, &server->tlsKey, &error))) {
    qCritical("%s", qUtf8Printable(error));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  qSetMessagePattern(QStringLiteral("selvane-web: %{message}"));
  QCoreApplication::setApplicationName(QStringLiteral("selvane-web"));
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  const ParseResult parsed = parseCommandLine(args);
  if (parsed.outcome == ParseResult::Help) {
    std::fputs(qPrintable(parsed.text), stdout);
    return 0;
  }
  if (parsed.outcome == ParseResult::Error) {
    std::fprintf(stderr, "selvane-web: %s\nTry selvane-web --help.\n", qPrintable(parsed.text));
    return 2;
  }
  const Options& o = parsed.options;
  // Pictures are large and short-lived: each gets its own mapping, so their
  // memory goes back to the system when the last client lets go (left to
  // itself, glibc raises the threshold after the first free and keeps them).
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  // Connections waiting for their headers and connections being served each
  // take a descriptor: allow as many as the system lets this process have.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }
  ServiceNotifier systemd;  // reads the environment before any thread starts

  // Every thread started from here on inherits the blocked signals; only
  // sigwait below takes them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  std::vector<QString> dirs;
  std::vector<int> numbers;
  Watcher::Options watcherOptions{o.pollMs, o.notify, {}};
  for (const UnitSource& u : o.units) {
    dirs.push_back(u.dir);
    numbers.push_back(u.number);
    watcherOptions.intervalsMs.push_back(u.intervalMs);
    qInfo("unit %d: %s", u.number, qUtf8Printable(u.dir));
  }
  Watcher watcher(dirs, numbers, watcherOptions);
  HttpServer::Options serverOptions;
  Logins logins;
  if (!loadAccess(o, &logins, &serverOptions)) return 2;
  serverOptions.listen = o.listen;
  serverOptions.maxConnections = o.maxClients;
  serverOptions.maxPerAddress = std::max(1u, o.maxClients / 2);
  serverOptions.maxMemory = size_t(o.maxMemoryMiB) << 20;
  serverOptions.allowedHosts = o.allowedHosts;
  HttpServer server(watcher.board(), serverOptions);
  QString error;
  if (!server.start(&error)) {
    qCritical("%s", qUtf8Printable(error));
    return 1;
  }
  if (serverOptions.logins && serverOptions.tlsCert.isEmpty() && !server.loopback())
    qWarning(
        "warning: logins on %s without --tls-cert/--tls-key: passwords and pictures cross the network "
        "in clear text",
        qUtf8Printable(o.listen));
  if (systemd.watchdogPeriodMs() > 0)
    watcher.setHeartbeat([&systemd] { systemd.send("WATCHDOG=1"); }, systemd.watchdogPeriodMs());
  watcher.start();
  qInfo("serving %zu unit(s) on %s://%s/ (poll %d ms)", o.units.size(), o.tlsCert.isEmpty() ? "http" : "https",
        qUtf8Printable(o.listen), o.pollMs);
  systemd.send("READY=1\nSTATUS=serving " + std::to_string(o.units.size()) + " unit(s) on " + o.listen.toStdString());

  int signal = 0;
  while (sigwait(&stopSignals, &signal) == 0 && signal == SIGHUP)
    qInfo("SIGHUP ignored: the units and options are read at start; restart to change them");
  qInfo("stopping (%s)", signal == SIGINT ? "SIGINT" : "SIGTERM");
  systemd.send("STOPPING=1");
  server.stop();
  watcher.stop();
  return 0;
}
