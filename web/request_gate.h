// The server's front door: it owns the listening socket and holds every new
// connection outside the HTTP library until its request line and headers have
// arrived whole, looking at them without taking them off the socket. Only
// then is the connection handed to libmicrohttpd, so a client that trickles
// its headers (or never sends them) never holds one of its slots: it is
// dropped a few seconds after connecting, whatever it trickles. Waiting
// connections are bounded in all and per client address; a header block with
// a malformed or repeated Content-Length is answered 400 here.
//
// Threads: listen(), start() and stop() on the controlling thread; the gate's own
// thread accepts, waits and hands over (the hand-over callback runs on it).
#pragma once

#include <sys/socket.h>

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

namespace selvane::web {

class RequestGate {
 public:
  struct Options {
    int headerDeadlineMs = 5000;          // from connecting to the end of the headers
    unsigned maxWaiting = 512;            // connections waiting for their headers, in all
    unsigned maxWaitingPerAddress = 128;  // from one client address
    size_t maxHeaderBytes = 32 * 1024;    // a longer header block is answered 431
    // HTTPS: the headers come encrypted, so a connection is handed over as
    // soon as its first bytes (the TLS handshake) arrive, with an empty head,
    // and its header deadline goes with it.
    bool encrypted = false;
  };
  // Takes a connection whose headers (`head`, still on the socket) are whole,
  // or an encrypted one with its header deadline; it owns the socket from
  // then on and closes it when it cannot take it.
  using HandOver = std::function<void(int fd, const sockaddr* address, socklen_t length, QByteArrayView head,
                                      std::chrono::steady_clock::time_point headerDeadline)>;

  RequestGate(Options options, HandOver handOver);
  ~RequestGate();
  RequestGate(const RequestGate&) = delete;
  RequestGate& operator=(const RequestGate&) = delete;

  // Binds host:port; false with the reason when it cannot. The socket
  // refuses a second listener on the same port.
  bool listen(const QString& host, uint16_t port, QString* error);
  // Starts accepting, on the gate's own thread.
  void start();
  uint16_t port() const { return port_; }
  bool loopback() const { return loopback_; }  // bound to 127.0.0.0/8 or ::1
  unsigned waiting() const { return waiting_; }
  // Closes the listening socket and every waiting connection.
  void stop();

 private:
  void run();

  Options options_;
  HandOver handOver_;
  int listenFd_ = -1;
  int wakeFd_ = -1;
  uint16_t port_ = 0;
  bool loopback_ = false;
  std::atomic<unsigned> waiting_{0};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

// A short answer sent straight on a socket, with the connection closed after.
QByteArray plainAnswer(int status, const char* reason, const char* text);
// Sends such an answer and closes the socket.
void answerAndClose(int fd, const QByteArray& answer);

}  // namespace selvane::web
