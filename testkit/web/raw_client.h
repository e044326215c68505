// A plain TCP client for the server tests and benchmarks: it sends whatever
// bytes it is given (hostile requests included) and reads with deadlines.
// HTTP/1.0 requests keep streams free of chunked framing.
#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace webtest {

class RawClient {
 public:
  // Connects to 127.0.0.1:port; receiveBuffer > 0 shrinks the socket's
  // receive buffer first (a client that reads slowly).
  explicit RawClient(uint16_t port, int receiveBuffer = 0);
  // Connects as above and sends `request`.
  RawClient(uint16_t port, const QByteArray& request, int receiveBuffer = 0) : RawClient(port, receiveBuffer) {
    send(request);
  }
  ~RawClient();
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  int fd() const { return fd_; }
  bool send(const QByteArray& bytes);
  // Reads what arrives within `ms`; false once the server closed.
  bool readFor(int ms);
  // Reads until `done(buffer)` holds, the server closes, or `ms` pass.
  template <class Done>
  bool readUntil(Done done, int ms);
  // Reads until the server closes or `ms` pass.
  void readUntilClosed(int ms) {
    readUntil([](const QByteArray&) { return false; }, ms);
  }

  QByteArray buffer;   // everything read so far
  int status() const;  // of the response in `buffer`, 0 if none yet
  // The multipart parts complete so far: their bodies, in order. `boundary`
  // without the leading dashes (the server's own by default).
  std::vector<QByteArray> parts(const QByteArray& boundary = "selvaneframe") const;

 private:
  int fd_ = -1;
};

// A whole response to one HTTP/1.0 GET: status and body (headers dropped).
struct Reply {
  int status = 0;
  QByteArray headers;
  QByteArray body;
};
Reply httpGet(uint16_t port, const QByteArray& path, const QByteArray& extraHeaders = {}, int ms = 3000);

int64_t nowMs();

// Binds the socket `fd` to 127.0.0.1 on a port the system picks; that port.
uint16_t bindLoopback(int fd);
// A loopback port that was free a moment ago, for a server started next.
uint16_t freePort();

template <class Done>
bool RawClient::readUntil(Done done, int ms) {
  const int64_t end = nowMs() + ms;
  while (!done(buffer)) {
    const int64_t left = end - nowMs();
    if (left <= 0 || !readFor(static_cast<int>(std::min<int64_t>(left, 50)))) return done(buffer);
  }
  return true;
}

}  // namespace webtest
