// The HTTP side of selvane-web, on libmicrohttpd: one internal epoll thread
// serves every connection. Streams and event feeds never block it: a client
// with nothing new to send is suspended and parked on the board, and resumed
// by the watcher thread when its unit changes; it then takes the newest
// picture, so a slow client skips pictures instead of queueing them. Only the
// configured units are reachable, by number; no URL names a file.
//
// Connections come in through the request gate, which hands a connection
// over only once its headers are whole; streams and feeds on one side and
// short requests on the other each get at most three quarters of the
// connections, so neither kind can starve the other. Every answer closes its
// connection, so every request passes the gate.
//
// Threads: start() and stop() on the controlling thread; the request
// handlers run on libmicrohttpd's thread and read the board; the gate's
// thread hands connections over.
#pragma once

#include "board.h"
#include "header_deadline.h"
#include "logins.h"
#include "picture_budget.h"
#include "request_gate.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

struct MHD_Daemon;

namespace selvane::web {

class HttpServer {
 public:
  struct Options {
    QString listen = QStringLiteral("127.0.0.1:8080");
    unsigned maxConnections = 512;         // all clients together
    unsigned maxPerAddress = 256;          // from one client address
    unsigned idleTimeoutSeconds = 30;      // a connection that moves nothing for this long is closed
    size_t connectionMemory = 32 * 1024;   // request line and headers must fit, else 431
    size_t maxMemory = size_t(256) << 20;  // pictures held by clients, in all
    int headerDeadlineMs = 5000;           // from connecting to the end of the headers
    // Bound to loopback, a request naming another host is refused (421), so
    // that a page elsewhere cannot reach the server through a visitor's
    // browser by DNS rebinding; these names are accepted as well.
    QStringList allowedHosts = {};
    Logins* logins = nullptr;              // every request needs one of these logins; null: none asked
    QByteArray tlsCert = {}, tlsKey = {};  // PEM; both given: HTTPS only
  };
  HttpServer(Board& board, Options options);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds and starts serving; false with the reason when it cannot.
  bool start(QString* error);
  uint16_t port() const;
  bool loopback() const;         // bound to 127.0.0.0/8 or ::1
  unsigned connections() const;  // open right now, handed over by the gate
  unsigned waitingForHeaders() const;
  size_t picturesHeld() const { return budget_.held(); }
  // Ends every stream, then closes every connection. The board is closed for
  // good.
  void stop();

  // What the request handlers see; defined with them.
  struct Context;
  Board& board() { return board_; }
  const Options& options() const { return options_; }

 private:
  void handOver(int fd, const sockaddr* address, socklen_t length, QByteArrayView head,
                HeaderDeadline::Clock::time_point headerDeadline);

  Board& board_;
  Options options_;
  PictureBudget budget_;
  std::unique_ptr<Context> context_;
  std::unique_ptr<HeaderDeadline> tlsDeadline_;  // HTTPS only
  std::unique_ptr<RequestGate> gate_;
  MHD_Daemon* daemon_ = nullptr;
};

// "ADDR:PORT" ("127.0.0.1:8080", "[::]:8080", "localhost:8080").
bool parseListenAddress(const QString& text, QString* host, uint16_t* port);

}  // namespace selvane::web
