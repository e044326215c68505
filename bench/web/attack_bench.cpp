// The real selvane-web program under attack, each figure beside its goal:
// - units stuck on a cut BMP and on a 2 GB sparse slot file: bytes read and
//   CPU after the first two seconds, and how soon a healthy unit beside them
//   shows a new picture;
// - 40 stream clients that never read, each started after a new 8.7 MB
//   picture: resident set against --max-memory + 40 MiB, and after they go;
// - 500 connections from 127.0.0.2 and 127.0.0.3 that trickle one header
//   line a second (reconnecting when dropped): how long a normal client's
//   GET /units takes meanwhile;
// - password guessing from 200 loopback addresses, each guess a new password
//   against a yescrypt login: how long a logged-in client's GET /units takes
//   meanwhile, and how many guesses were checked.
// All traffic stays on loopback.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "selvane/publication/control_record.h"
#include "server_process.h"
#include "testkit/web/publish_picture.h"
#include "testkit/web/raw_client.h"
#include "testkit/web/test_credentials.h"

namespace {

using webbench::readProcess;

QString unitDir(const QTemporaryDir& tmp, int n) {
  QDir(tmp.path()).mkpath(QStringLiteral("unit%1").arg(n));
  return tmp.path() + QStringLiteral("/unit%1/").arg(n);
}

void writeRecord(const QString& dir, int16_t state) {
  selvane::publication::ControlRecord r;
  r.state = state;
  r.nextSlot = 1;
  r.written = {1, 0};
  QFile f(dir + "cap.ctl");
  if (f.open(QIODevice::WriteOnly)) f.write(r.encode());
}

uint64_t pictureSeq(uint16_t port, int unit = 1) {
  const auto reply = webtest::httpGet(port, "/units/" + QByteArray::number(unit));
  return uint64_t(QJsonDocument::fromJson(reply.body).object()["picture"].toObject()["seq"].toDouble());
}

void BM_UnitsStuckOnCutPictures(benchmark::State& state) {
  QTemporaryDir tmp;
  const QString cut = unitDir(tmp, 1), sparse = unitDir(tmp, 2), healthy = unitDir(tmp, 3);
  writeRecord(cut, 0);
  QFile bmp(cut + "cap0.bmp");
  if (bmp.open(QIODevice::WriteOnly)) bmp.write(webtest::testRgbBmp(640, 480, 1, 2, 3).left(500000));
  bmp.close();
  writeRecord(sparse, 2);
  QFile big(sparse + "cap0.jpg");
  if (big.open(QIODevice::WriteOnly)) {
    big.write(webtest::testJpeg(1, 640, 480).chopped(2));
    big.seek((int64_t(64) << 20) - 2);
    big.write("\xFF\xD9");
    big.resize(int64_t(2) << 30);
  }
  big.close();
  QProcess server;
  uint16_t port = 0;
  if (!webbench::startServer(server, {cut, sparse, healthy}, &port))
    return state.SkipWithError("cannot start selvane-web");
  for (auto _ : state) {
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const auto from = readProcess(server.processId());
    constexpr double kSeconds = 5;
    std::this_thread::sleep_for(std::chrono::milliseconds(int(kSeconds * 1000)));
    const auto to = readProcess(server.processId());
    state.counters["read_MB_per_s"] = (to.readBytes - from.readBytes) / kSeconds / 1e6;
    state.counters["goal_read_MB_per_s"] = 1;
    state.counters["cpu_pct"] = 100 * (to.cpuSeconds - from.cpuSeconds) / kSeconds;
    state.counters["goal_cpu_pct"] = 1;
    // From the end of the store (the marker flip) to the picture in /units/3.
    std::vector<double> visible;
    for (int i = 0; i < 20; ++i) {
      webtest::publishPicture(healthy, webtest::testJpeg(i, 640, 480), true, QString::number(i));
      const auto start = std::chrono::steady_clock::now();
      while (pictureSeq(port, 3) < uint64_t(i + 1) &&
             std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) {}
      visible.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(visible.begin(), visible.end());
    state.counters["healthy_unit_visible_median_ms"] = visible[visible.size() / 2];
    state.counters["healthy_unit_visible_max_ms"] = visible.back();
  }
  server.terminate();
  server.waitForFinished(5000);
}
BENCHMARK(BM_UnitsStuckOnCutPictures)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_StalledClientsOn40Pictures(benchmark::State& state) {
  constexpr int kBudgetMiB = 256;
  QTemporaryDir tmp;
  const QString dir = unitDir(tmp, 1);
  QProcess server;
  uint16_t port = 0;
  if (!webbench::startServer(server, {"--max-memory", QString::number(kBudgetMiB), "--poll", "50", dir}, &port))
    return state.SkipWithError("cannot start selvane-web");
  for (auto _ : state) {
    const double before = readProcess(server.processId()).rssKiB;
    std::vector<std::unique_ptr<webtest::RawClient>> stalled;
    int ended = 0;
    double peak = 0;
    for (int i = 0; i < 40; ++i) {
      webtest::publishPicture(dir, webtest::paddedJpeg(i, 8'700'000), true, QString::number(i));
      for (int wait = 0; wait < 200 && pictureSeq(port) < uint64_t(i + 1); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      stalled.push_back(std::make_unique<webtest::RawClient>(port, 4096));
      stalled.back()->send("GET /units/1/stream HTTP/1.0\r\n\r\n");
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      peak = std::max(peak, readProcess(server.processId()).rssKiB);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double held = readProcess(server.processId()).rssKiB;
    for (auto& c : stalled) {
      pollfd p{c->fd(), POLLIN | POLLRDHUP, 0};
      if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP))) ++ended;
    }
    stalled.clear();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    state.counters["rss_before_MiB"] = before / 1024;
    state.counters["rss_peak_MiB"] = std::max(peak, held) / 1024;
    state.counters["goal_rss_MiB"] = kBudgetMiB + 40;
    state.counters["rss_after_close_MiB"] = readProcess(server.processId()).rssKiB / 1024;
    state.counters["streams_ended_past_budget"] = ended;
  }
  server.terminate();
  server.waitForFinished(5000);
}
BENCHMARK(BM_StalledClientsOn40Pictures)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// A connection from `from` (127.0.0.x) to the server.
int connectFrom(const char* from, uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  ::inet_pton(AF_INET, from, &a.sin_addr);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  a.sin_port = htons(port);
  ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Two seconds into an attack, a normal client's GET /units every 50 ms for
// 15 s: its median and worst time beside their goals.
void timeNormalGets(benchmark::State& state, uint16_t port, const QByteArray& headers) {
  std::this_thread::sleep_for(std::chrono::seconds(2));
  std::vector<double> ms;
  int failed = 0;
  const int64_t end = webtest::nowMs() + 15000;
  while (webtest::nowMs() < end) {
    const int64_t start = webtest::nowMs();
    if (webtest::httpGet(port, "/units", headers, 3000).status != 200) ++failed;
    ms.push_back(double(webtest::nowMs() - start));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::sort(ms.begin(), ms.end());
  state.counters["get_median_ms"] = ms[ms.size() / 2];
  state.counters["goal_median_ms"] = 100;
  state.counters["get_max_ms"] = ms.back();
  state.counters["goal_max_ms"] = 1000;
  state.counters["gets"] = double(ms.size());
  state.counters["gets_failed"] = failed;
}

void BM_SlowHeaderFlood(benchmark::State& state) {
  QTemporaryDir tmp;
  const QString dir = unitDir(tmp, 1);
  webtest::publishPicture(dir, webtest::testJpeg(1, 640, 480), true, "x");
  QProcess server;
  uint16_t port = 0;
  if (!webbench::startServer(server, {dir}, &port)) return state.SkipWithError("cannot start selvane-web");
  for (auto _ : state) {
    std::atomic<bool> stop{false};
    std::atomic<int> reconnects{0};
    std::thread attacker([&] {
      std::vector<int> fds(500, -1);
      std::vector<int64_t> next(500, 0);
      while (!stop) {
        const int64_t now = webtest::nowMs();
        for (size_t i = 0; i < fds.size(); ++i) {
          if (fds[i] >= 0) {
            char byte[512];
            const ssize_t n = ::recv(fds[i], byte, sizeof byte, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN)) {
              ::close(fds[i]);
              fds[i] = -1;
            }
          }
          if (fds[i] < 0) {
            fds[i] = connectFrom(i % 2 ? "127.0.0.2" : "127.0.0.3", port);
            if (fds[i] >= 0) ::send(fds[i], "GET /units HTTP/1.1\r\nHost: localhost\r\n", 38, MSG_NOSIGNAL);
            ++reconnects;
            next[i] = now + 1000;
          } else if (now >= next[i]) {
            ::send(fds[i], "X-Slow: 1\r\n", 11, MSG_NOSIGNAL);
            next[i] = now + 1000;
          }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      for (int fd : fds)
        if (fd >= 0) ::close(fd);
    });
    timeNormalGets(state, port, {});
    stop = true;
    attacker.join();
    state.counters["attack_connections"] = reconnects.load();
  }
  server.terminate();
  server.waitForFinished(5000);
}
BENCHMARK(BM_SlowHeaderFlood)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_PasswordGuessing(benchmark::State& state) {
  QTemporaryDir tmp;
  const QString dir = unitDir(tmp, 1);
  webtest::publishPicture(dir, webtest::testJpeg(1, 640, 480), true, "x");
  QFile users(tmp.path() + "/users");
  if (!users.open(QIODevice::WriteOnly) || users.write("op:" + webtest::Credentials::xcrypt("$y$", "right") + "\n") < 0)
    return state.SkipWithError("cannot write the users file");
  users.close();
  QProcess server;
  uint16_t port = 0;
  const QByteArray login = "Authorization: Basic " + QByteArray("op:right").toBase64() + "\r\n";
  if (!webbench::startServer(server, {"--users", users.fileName(), dir}, &port))
    return state.SkipWithError("cannot start selvane-web");
  for (auto _ : state) {
    std::atomic<bool> stop{false};
    std::atomic<int> guesses{0}, checked{0};
    std::vector<std::thread> guessers;
    for (int g = 0; g < 8; ++g)
      guessers.emplace_back([&, g] {
        for (int n = 0; !stop; ++n) {
          const std::string from = "127.0.0." + std::to_string(2 + (g * 25 + n) % 200);
          const int fd = connectFrom(from.c_str(), port);
          if (fd < 0) continue;
          const QByteArray request =
              "GET /units HTTP/1.1\r\nHost: localhost\r\nAuthorization: Basic " +
              QByteArray("op:guess-" + QByteArray::number(g) + "-" + QByteArray::number(n)).toBase64() + "\r\n\r\n";
          ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL);
          char reply[64] = {};
          pollfd p{fd, POLLIN, 0};
          if (::poll(&p, 1, 5000) == 1 && ::recv(fd, reply, sizeof reply - 1, 0) > 12) {
            ++guesses;
            if (std::strncmp(reply + 9, "401", 3) == 0) ++checked;
          }
          ::close(fd);
        }
      });
    timeNormalGets(state, port, login);
    stop = true;
    for (std::thread& t : guessers) t.join();
    state.counters["guesses"] = guesses.load();
    state.counters["guesses_checked"] = checked.load();
  }
  server.terminate();
  server.waitForFinished(5000);
}
BENCHMARK(BM_PasswordGuessing)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
