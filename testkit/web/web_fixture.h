// A running selvane-web in the test process: N unit directories, the watcher
// and the HTTP server on a free loopback port. A server that does not start
// fails the test that made it.
#pragma once

#include "http_server.h"
#include "testkit/wait.h"
#include "testkit/web/publish_picture.h"
#include "watcher.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <memory>

namespace webtest {

struct RunningServer {
  explicit RunningServer(int units, selvane::web::HttpServer::Options options = {}, int pollMs = 20) {
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
    if (!started) ADD_FAILURE() << "selvane-web did not start: " << qPrintable(error);
    watcher->start();
  }
  ~RunningServer() {
    server->stop();
    watcher->stop();
  }
  uint16_t port() const { return server->port(); }
  // Publishes `picture` as unit `number`'s next one and waits until the
  // board has it.
  bool publish(int number, const QByteArray& picture, bool jpeg = true, const QString& slotText = "x") {
    selvane::web::Board& b = watcher->board();
    const uint64_t seq = b.view(b.indexOf(number))->pictureSeq + 1;
    return publishPicture(dirs[size_t(number - 1)], picture, jpeg, slotText) &&
           waitFor([&] { return b.view(b.indexOf(number))->pictureSeq >= seq; }, 3000);
  }

  // Waits until unit `number` shows exactly these bytes.
  bool waitForBytes(int number, const QByteArray& bytes, int ms = 5000) {
    selvane::web::Board& b = watcher->board();
    return waitFor(
        [&] {
          const auto picture = b.view(b.indexOf(number))->picture;
          return picture && picture->stored == bytes;
        },
        ms);
  }

  QTemporaryDir tmp;
  std::vector<QString> dirs;
  std::unique_ptr<selvane::web::Watcher> watcher;
  std::unique_ptr<selvane::web::HttpServer> server;
  bool started = false;
};

}  // namespace webtest
