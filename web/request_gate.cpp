#include "request_gate.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QtDebug>

#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace selvane::web {

namespace {

int64_t steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct Waiting {
  int64_t deadlineMs;
  std::string addressKey;
  sockaddr_storage address;
  socklen_t length;
};

std::string addressKey(const sockaddr_storage& a) {
  if (a.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(a);
    return std::string(reinterpret_cast<const char*>(&v4.sin_addr), sizeof v4.sin_addr);
  }
  const auto& v6 = reinterpret_cast<const sockaddr_in6&>(a);
  return std::string(reinterpret_cast<const char*>(&v6.sin6_addr), sizeof v6.sin6_addr);
}

// The end of the header block (after its blank line), or -1.
qsizetype headerEnd(QByteArrayView bytes) {
  const qsizetype crlf = bytes.indexOf("\r\n\r\n");
  const qsizetype lf = bytes.indexOf("\n\n");
  if (crlf >= 0 && (lf < 0 || crlf < lf)) return crlf + 4;
  return lf >= 0 ? lf + 2 : -1;
}

// A Content-Length the library would misanswer (a sign, letters, several
// different values) is answered here.
bool checkHeaders(QByteArrayView block, QByteArray* answer) {
  QByteArray length;
  for (QByteArrayView line : QByteArray(block.data(), block.size()).split('\n')) {
    const qsizetype colon = line.indexOf(':');
    if (colon < 0 || line.first(colon).trimmed().compare("content-length", Qt::CaseInsensitive) != 0) continue;
    const QByteArray value = line.sliced(colon + 1).trimmed().toByteArray();
    bool digits = !value.isEmpty() && value.size() <= 18;
    for (char c : value) digits = digits && c >= '0' && c <= '9';
    if (!digits || (!length.isNull() && length != value)) {
      *answer = plainAnswer(400, "Bad Request", "Content-Length must be one decimal number.");
      return false;
    }
    length = value;
  }
  return true;
}

}  // namespace

QByteArray plainAnswer(int status, const char* reason, const char* text) {
  const QByteArray body = QByteArray(text) + "\n";
  return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
         "\r\nContent-Type: text/plain; charset=utf-8\r\nX-Content-Type-Options: nosniff\r\nContent-Length: " +
         QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// Best effort: the socket is non-blocking and closed right after.
void answerAndClose(int fd, const QByteArray& answer) {
  [[maybe_unused]] const ssize_t n = ::send(fd, answer.constData(), static_cast<size_t>(answer.size()), MSG_NOSIGNAL);
  ::close(fd);
}

RequestGate::RequestGate(Options options, HandOver handOver) : options_(options), handOver_(std::move(handOver)) {}

RequestGate::~RequestGate() { stop(); }

bool RequestGate::listen(const QString& host, uint16_t port, QString* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const QByteArray portText = QByteArray::number(port);
  if (const int rc = getaddrinfo(host.toUtf8().constData(), portText.constData(), &hints, &found); rc != 0) {
    *error = QStringLiteral("%1: %2").arg(host, QString::fromLocal8Bit(gai_strerror(rc)));
    return false;
  }
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> hold(found, &freeaddrinfo);
  listenFd_ = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  // SO_REUSEADDR on Linux only allows binding over connections in TIME_WAIT,
  // never a second listener.
  const int one = 1;
  if (listenFd_ >= 0) ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (listenFd_ < 0 || ::bind(listenFd_, found->ai_addr, found->ai_addrlen) != 0 || ::listen(listenFd_, 128) != 0) {
    *error = QStringLiteral("cannot listen on %1:%2: %3")
                 .arg(host)
                 .arg(port)
                 .arg(QString::fromLocal8Bit(std::strerror(errno)));
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
    return false;
  }
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &length);
  if (bound.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<sockaddr_in&>(bound);
    port_ = ntohs(v4.sin_port);
    loopback_ = (ntohl(v4.sin_addr.s_addr) >> 24) == 127;
  } else {
    const auto& v6 = reinterpret_cast<sockaddr_in6&>(bound);
    port_ = ntohs(v6.sin6_port);
    loopback_ = IN6_IS_ADDR_LOOPBACK(&v6.sin6_addr);
  }
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return true;
}

void RequestGate::start() {
  if (listenFd_ >= 0 && !thread_.joinable()) thread_ = std::thread([this] { run(); });
}

void RequestGate::stop() {
  stopping_ = true;
  if (wakeFd_ >= 0) {
    const uint64_t v = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &v, sizeof v);
  }
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) ::close(listenFd_);
  if (wakeFd_ >= 0) ::close(wakeFd_);
  listenFd_ = wakeFd_ = -1;
}

void RequestGate::run() {
  const int ep = ::epoll_create1(EPOLL_CLOEXEC);
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.fd = listenFd_;
  ::epoll_ctl(ep, EPOLL_CTL_ADD, listenFd_, &ev);
  ev.data.fd = wakeFd_;
  ::epoll_ctl(ep, EPOLL_CTL_ADD, wakeFd_, &ev);
  std::map<int, Waiting> waiting;
  std::map<std::string, unsigned> perAddress;
  std::vector<char> peek(options_.maxHeaderBytes + 1);

  auto drop = [&](std::map<int, Waiting>::iterator it, const QByteArray& answer, QByteArrayView head = {},
                  bool pass = false) {
    const int fd = it->first;
    ::epoll_ctl(ep, EPOLL_CTL_DEL, fd, nullptr);
    if (--perAddress[it->second.addressKey] == 0) perAddress.erase(it->second.addressKey);
    const Waiting w = it->second;
    waiting.erase(it);
    waiting_ = static_cast<unsigned>(waiting.size());
    if (pass || !head.isEmpty()) {
      // The library takes the socket blocking or not as it likes; it is
      // non-blocking here.
      handOver_(fd, reinterpret_cast<const sockaddr*>(&w.address), w.length, head,
                std::chrono::steady_clock::time_point(std::chrono::milliseconds(w.deadlineMs)));
    } else if (!answer.isEmpty()) {
      answerAndClose(fd, answer);
    } else {
      ::close(fd);
    }
  };

  // Looks at what a waiting client has sent so far, without taking it.
  auto look = [&](int fd) {
    auto it = waiting.find(fd);
    if (it == waiting.end()) return;
    const ssize_t n = ::recv(fd, peek.data(), peek.size(), MSG_PEEK | MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return drop(it, {});
    if (n < 0) return;
    const QByteArrayView bytes(peek.data(), n);
    if (options_.encrypted) return drop(it, {}, {}, true);
    const qsizetype end = headerEnd(bytes);
    if (end < 0) {
      if (static_cast<size_t>(n) > options_.maxHeaderBytes)
        drop(it, plainAnswer(431, "Request Header Fields Too Large", "The request's headers are too long."));
      return;
    }
    QByteArray answer;
    if (checkHeaders(bytes.first(end), &answer))
      drop(it, {}, bytes.first(end));
    else
      drop(it, answer);
  };

  // Out of descriptors: stop accepting for a moment rather than spin on a
  // listening socket that stays readable.
  int64_t acceptPausedUntil = 0;
  auto pauseAccepting = [&](bool pause) {
    epoll_event lev{};
    lev.events = pause ? 0u : static_cast<uint32_t>(EPOLLIN);
    lev.data.fd = listenFd_;
    ::epoll_ctl(ep, EPOLL_CTL_MOD, listenFd_, &lev);
    acceptPausedUntil = pause ? steadyMs() + 100 : 0;
  };

  epoll_event events[64];
  while (!stopping_) {
    const int n = ::epoll_wait(ep, events, 64, 250);
    for (int i = 0; i < n; ++i) {
      const int fd = events[i].data.fd;
      if (fd == wakeFd_) continue;
      if (fd != listenFd_) {
        look(fd);
        continue;
      }
      for (;;) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        const int client =
            ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&address), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0) {
          if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) pauseAccepting(true);
          break;
        }
        std::string key = addressKey(address);
        // Accepted and closed at once rather than left in the backlog, where a
        // client that gave up would still take a place later.
        if (waiting.size() >= options_.maxWaiting || perAddress[key] >= options_.maxWaitingPerAddress) {
          if (perAddress[key] == 0) perAddress.erase(key);
          answerAndClose(client, plainAnswer(503, "Service Unavailable", "Too many requests are waiting."));
          continue;
        }
        ++perAddress[key];
        waiting[client] = {steadyMs() + options_.headerDeadlineMs, std::move(key), address, length};
        waiting_ = static_cast<unsigned>(waiting.size());
        epoll_event cev{};
        // Edge-triggered: the bytes stay on the socket, only new ones wake.
        cev.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
        cev.data.fd = client;
        ::epoll_ctl(ep, EPOLL_CTL_ADD, client, &cev);
        look(client);
      }
    }
    const int64_t now = steadyMs();
    if (acceptPausedUntil != 0 && now >= acceptPausedUntil) pauseAccepting(false);
    for (auto it = waiting.begin(); it != waiting.end();) {
      auto next = std::next(it);
      if (it->second.deadlineMs <= now)
        drop(it, plainAnswer(408, "Request Timeout", "The request's headers did not arrive in time."));
      it = next;
    }
  }
  for (auto it = waiting.begin(); it != waiting.end(); it = waiting.begin()) drop(it, {});
  ::close(ep);
}

}  // namespace selvane::web
