// The HTTP side of selvane-web, on libmicrohttpd: one internal epoll thread
// serves every connection. Streams and event feeds never block it: a client
// with nothing new to send is suspended and parked on the board, and resumed
// by the watcher thread when its unit changes; it then takes the newest
// picture, so a slow client skips pictures instead of queueing them. Only the
// configured units are reachable, by number; no URL names a file.
//
// Threads: start() and stop() on the controlling thread; the request
// handlers run on libmicrohttpd's thread and read the board.
#pragma once

#include "board.h"
#include "logins.h"

#include <QString>

#include <cstdint>

struct MHD_Daemon;

namespace selvane::web {

class HttpServer {
 public:
  struct Options {
    QString listen = QStringLiteral("127.0.0.1:8080");
    unsigned maxConnections = 512;      // all clients together
    unsigned maxPerAddress = 256;       // from one client address
    unsigned idleTimeoutSeconds = 30;   // a connection that moves nothing for this long is closed
    size_t connectionMemory = 32 * 1024;  // request line and headers must fit, else 431
    Logins* logins = nullptr;  // every request needs one of these logins; null: none asked
    QByteArray tlsCert = {}, tlsKey = {};  // PEM; both given: HTTPS only
  };
  HttpServer(Board& board, Options options);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds and starts serving; false with the reason when it cannot.
  bool start(QString* error);
  uint16_t port() const;
  unsigned connections() const;  // open right now
  // Ends every stream, then closes every connection. The board is closed for
  // good.
  void stop();

  Board& board() { return board_; }
  const Options& options() const { return options_; }

 private:
  Board& board_;
  Options options_;
  MHD_Daemon* daemon_ = nullptr;
};

// "ADDR:PORT" ("127.0.0.1:8080", "[::]:8080", "localhost:8080").
bool parseListenAddress(const QString& text, QString* host, uint16_t* port);

}  // namespace selvane::web
