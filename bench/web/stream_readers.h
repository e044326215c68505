// Stream clients for the benchmarks: many loopback connections read on one
// thread, counting the bytes each has received, so a benchmark can wait until
// every client has a whole part.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "testkit/web/raw_client.h"

namespace webbench {

class StreamReaders {
 public:
  // Connects `count` clients to the unit's stream and waits until each has
  // its first part (settled: nothing more arrives for 100 ms).
  StreamReaders(uint16_t port, int unit, int count) {
    for (int i = 0; i < count; ++i) {
      clients_.push_back(std::make_unique<webtest::RawClient>(port));
      clients_.back()->send("GET /units/" + QByteArray::number(unit) + "/stream HTTP/1.0\r\n\r\n");
    }
    received_.assign(clients_.size(), 0);
    expected_.assign(clients_.size(), 0);
    int64_t quietSince = webtest::nowMs();
    while (webtest::nowMs() - quietSince < 100)
      if (readOnce(20)) quietSince = webtest::nowMs();
    expected_ = received_;
  }

  // Every client will receive `bytes` more.
  void expect(int64_t bytes) {
    for (auto& e : expected_) e += bytes;
  }
  // Reads until every client has what is expected; false after `ms`.
  bool waitAll(int ms) {
    const int64_t end = webtest::nowMs() + ms;
    while (!complete()) {
      if (webtest::nowMs() > end) return false;
      readOnce(10);
    }
    return true;
  }

 private:
  bool complete() const {
    for (size_t i = 0; i < clients_.size(); ++i)
      if (received_[i] < expected_[i]) return false;
    return true;
  }
  bool readOnce(int ms) {
    std::vector<pollfd> fds;
    for (auto& c : clients_) fds.push_back({c->fd(), POLLIN, 0});
    if (::poll(fds.data(), fds.size(), ms) <= 0) return false;
    char chunk[1 << 16];
    for (size_t i = 0; i < fds.size(); ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      const ssize_t n = ::recv(fds[i].fd, chunk, sizeof chunk, MSG_DONTWAIT);
      if (n > 0) received_[i] += n;
    }
    return true;
  }

  std::vector<std::unique_ptr<webtest::RawClient>> clients_;
  std::vector<int64_t> received_, expected_;
};

}  // namespace webbench
