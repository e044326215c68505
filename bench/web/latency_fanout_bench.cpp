// Latency from a marker flip to the whole new picture at a stream client,
// and the cost of fanning one picture out to 100 stream clients, each beside
// its floor: the same bytes written to the same number of loopback sockets
// directly.
#include <benchmark/benchmark.h>

#include <sys/socket.h>

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <numeric>
#include <thread>

#include "board.h"
#include "fan_out_board.h"
#include "http_server.h"
#include "picture.h"
#include "stream_readers.h"
#include "testkit/web/publish_picture.h"
#include "watcher.h"

using namespace selvane::web;

namespace {

constexpr int kPollMs = 200;

// Arg 0: poll only (a share mounted from another computer); 1: inotify too.
HttpServer::Options loopbackServer() {
  HttpServer::Options o;
  o.listen = QStringLiteral("127.0.0.1:0");
  return o;
}

void BM_MarkerFlipToStreamClient(benchmark::State& state) {
  QTemporaryDir tmp;
  QDir(tmp.path()).mkpath("unit1");
  const QString dir = tmp.path() + "/unit1/";
  webtest::publishPicture(dir, webtest::testJpeg(0, 640, 480), true, "0");
  Watcher watcher({dir}, {1}, {kPollMs, state.range(0) != 0, {}});
  HttpServer server(watcher.board(), loopbackServer());
  QString error;
  if (!server.start(&error)) return state.SkipWithError(qPrintable(error));
  watcher.start();
  webbench::StreamReaders client(server.port(), 1, 1);
  std::vector<double> ms;
  int seed = 1;
  for (auto _ : state) {
    const QByteArray jpeg = webtest::testJpeg(seed, 640, 480);
    client.expect(makePicture(jpeg, true, 0)->partSize());
    // Off the poll grid, as a real station's pictures are.
    std::this_thread::sleep_for(std::chrono::milliseconds(37 * seed % kPollMs));
    const auto start = std::chrono::steady_clock::now();
    webtest::publishPicture(dir, jpeg, true, QString::number(seed++));
    if (!client.waitAll(5000)) return state.SkipWithError("the picture never arrived");
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(s);
    ms.push_back(s * 1000);
  }
  state.counters["mean_ms"] = std::accumulate(ms.begin(), ms.end(), 0.0) / double(ms.size());
  state.counters["max_ms"] = *std::max_element(ms.begin(), ms.end());
  state.counters["goal_max_ms"] = kPollMs + 50;
}
BENCHMARK(BM_MarkerFlipToStreamClient)->Arg(0)->Arg(1)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);

// One new picture on the board until every one of 100 stream clients has it.
void BM_FanOutTo100StreamClients(benchmark::State& state) {
  webbench::FanOutBoard fan;
  HttpServer server(fan.board(), loopbackServer());
  QString error;
  if (!server.start(&error)) return state.SkipWithError(qPrintable(error));
  webbench::StreamReaders clients(server.port(), 1, 100);
  for (auto _ : state) {
    clients.expect(fan.publishNext());
    if (!clients.waitAll(5000)) return state.SkipWithError("a client missed the picture");
  }
  state.SetBytesProcessed(state.iterations() * 100 * fan.partSize());
  server.stop();
}
BENCHMARK(BM_FanOutTo100StreamClients)->Unit(benchmark::kMillisecond)->UseRealTime();

// Floor: the same part written straight to 100 connected loopback sockets.
void BM_FanOutFloorDirectWrites(benchmark::State& state) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  const uint16_t port = webtest::bindLoopback(listener);
  ::listen(listener, 128);
  std::vector<int> servers;
  std::vector<std::unique_ptr<webtest::RawClient>> clients;
  for (int i = 0; i < 100; ++i) {
    clients.push_back(std::make_unique<webtest::RawClient>(port));
    servers.push_back(::accept(listener, nullptr, nullptr));
  }
  const PicturePtr picture = makePicture(webtest::testJpeg(1, 640, 480), true, 0);
  const QByteArray part = picture->partHead + picture->jpeg + kPartTail;
  for (auto _ : state) {
    std::vector<int64_t> left(100, part.size());
    std::vector<qsizetype> sent(100, 0);
    int open = 100;
    while (open > 0) {
      for (int i = 0; i < 100; ++i) {
        if (sent[i] < part.size()) {
          const ssize_t n = ::send(servers[i], part.constData() + sent[i], size_t(part.size() - sent[i]),
                                   MSG_DONTWAIT | MSG_NOSIGNAL);
          if (n > 0) sent[i] += n;
        }
        if (left[i] > 0) {
          char chunk[1 << 16];
          const ssize_t n = ::recv(clients[i]->fd(), chunk, sizeof chunk, MSG_DONTWAIT);
          if (n > 0 && (left[i] -= n) <= 0) --open;
        }
      }
    }
  }
  state.SetBytesProcessed(state.iterations() * 100 * part.size());
  for (int fd : servers) ::close(fd);
  ::close(listener);
}
BENCHMARK(BM_FanOutFloorDirectWrites)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
