// A running selvane-web in the test process: N unit directories, the watcher
// and the HTTP server on a free loopback port.
#pragma once

#include "http_server.h"
#include "watcher.h"

#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <thread>

namespace webtest {

struct RunningServer {
  explicit RunningServer(int units, int pollMs = 20, selvane::web::HttpServer::Options options = {}) {
    std::vector<int> numbers;
    for (int i = 1; i <= units; ++i) {
      QDir(tmp.path()).mkpath(QStringLiteral("unit%1").arg(i));
      dirs.push_back(tmp.path() + QStringLiteral("/unit%1/").arg(i));
      numbers.push_back(i);
    }
    watcher = std::make_unique<selvane::web::Watcher>(dirs, numbers, selvane::web::Watcher::Options{pollMs, true, {}});
    options.listen = QStringLiteral("127.0.0.1:0");
    server = std::make_unique<selvane::web::HttpServer>(watcher->board(), options);
    QString error;
    started = server->start(&error);
    watcher->start();
  }
  ~RunningServer() {
    server->stop();
    watcher->stop();
  }
  uint16_t port() const { return server->port(); }
  // Waits until unit `number`'s picture sequence reaches `seq`.
  bool waitForPicture(int number, uint64_t seq, int ms = 3000) {
    selvane::web::Board& b = watcher->board();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (b.view(b.indexOf(number))->pictureSeq < seq) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  // Waits until unit `number` shows exactly these bytes.
  bool waitForBytes(int number, const QByteArray& bytes, int ms = 5000) {
    selvane::web::Board& b = watcher->board();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      const auto picture = b.view(b.indexOf(number))->picture;
      if (picture && picture->stored == bytes) return true;
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  QTemporaryDir tmp;
  std::vector<QString> dirs;
  std::unique_ptr<selvane::web::Watcher> watcher;
  std::unique_ptr<selvane::web::HttpServer> server;
  bool started = false;
};

}  // namespace webtest
