#include "testkit/web/raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QList>

#include <cerrno>
#include <chrono>

namespace webtest {

int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

namespace {
sockaddr_in loopback(uint16_t port) { return {AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}}; }
}  // namespace

uint16_t bindLoopback(int fd) {
  sockaddr_in a = loopback(0);
  socklen_t len = sizeof a;
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

uint16_t freePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const uint16_t port = bindLoopback(fd);
  ::close(fd);
  return port;
}

RawClient::RawClient(uint16_t port, int receiveBuffer) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  if (receiveBuffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  sockaddr_in a = loopback(port);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

RawClient::~RawClient() {
  if (fd_ >= 0) ::close(fd_);
}

bool RawClient::send(const QByteArray& bytes) {
  qsizetype at = 0;
  while (at < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.constData() + at, static_cast<size_t>(bytes.size() - at), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
  }
  return true;
}

bool RawClient::readFor(int ms) {
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, ms) <= 0) return true;
  char chunk[65536];
  const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
  if (n <= 0) return false;
  buffer.append(chunk, n);
  return true;
}

int RawClient::status() const {
  if (!buffer.startsWith("HTTP/1.") || buffer.size() < 12) return 0;
  return buffer.mid(9, 3).toInt();
}

std::vector<QByteArray> RawClient::parts(const QByteArray& boundary) const {
  std::vector<QByteArray> out;
  const QByteArray delimiter = "--" + boundary + "\r\n";
  qsizetype at = buffer.indexOf("\r\n\r\n");
  if (at < 0) return out;
  at += 4;
  if (buffer.mid(at, delimiter.size()) != delimiter) return out;
  at += delimiter.size();
  for (;;) {
    const qsizetype headersEnd = buffer.indexOf("\r\n\r\n", at);
    if (headersEnd < 0) return out;
    const QByteArray headers = buffer.mid(at, headersEnd - at);
    const qsizetype lengthAt = headers.indexOf("Content-Length: ");
    if (lengthAt < 0) return out;
    const qsizetype length = headers.mid(lengthAt + 16).split('\r').first().toLongLong();
    const qsizetype bodyAt = headersEnd + 4;
    if (buffer.size() < bodyAt + length + 2 + delimiter.size()) return out;  // the next boundary not yet there
    if (buffer.mid(bodyAt + length, 2 + delimiter.size()) != "\r\n" + delimiter) return out;
    out.push_back(buffer.mid(bodyAt, length));
    at = bodyAt + length + 2 + delimiter.size();
  }
}

Reply httpGet(uint16_t port, const QByteArray& path, const QByteArray& extraHeaders, int ms) {
  RawClient c(port);
  Reply r;
  if (!c.send("GET " + path + " HTTP/1.0\r\nHost: localhost\r\n" + extraHeaders + "\r\n")) return r;
  c.readUntilClosed(ms);
  r.status = c.status();
  const qsizetype split = c.buffer.indexOf("\r\n\r\n");
  r.headers = c.buffer.left(split);
  r.body = split < 0 ? QByteArray() : c.buffer.mid(split + 4);
  return r;
}

}  // namespace webtest
