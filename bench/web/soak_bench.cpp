// The real selvane-web program under a steady load for --soak_seconds
// (default 300): six units each publishing a 640x480 JPEG every 1000 ms,
// polled every 1000 ms, 100 MJPEG stream clients spread over the units and 10
// page clients (the event feed, and each changed picture fetched as the page
// does). Reported for the server process alone: its CPU share of one core over
// the first and the last minute (or fifth) of the run and over all of it, and
// its resident set at 10 s, half-way and at the end: both must stay flat.
#include <benchmark/benchmark.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <map>
#include <thread>

#include "server_process.h"
#include "soak_options.h"
#include "testkit/web/publish_picture.h"
#include "testkit/web/raw_client.h"

namespace {

using webbench::ProcessReading;
using webbench::readProcess;

// A page: the event feed, and each picture whose tag changed fetched once.
struct PageClient {
  std::unique_ptr<webtest::RawClient> feed;
  std::map<int, QString> tags;
  qsizetype parsed = 0;
  int fetches = 0;

  void onData(uint16_t port) {
    for (qsizetype end; (end = feed->buffer.indexOf("\n\n", parsed)) >= 0; parsed = end + 2) {
      const QByteArray event = feed->buffer.mid(parsed, end - parsed);
      const qsizetype data = event.indexOf("data: ");
      if (data < 0) continue;
      const QJsonArray units = QJsonDocument::fromJson(event.mid(data + 6)).object()["units"].toArray();
      for (const QJsonValue& u : units) {
        const int n = u["unit"].toInt();
        const QString tag = u["picture"]["etag"].toString();
        if (tag.isEmpty() || tags[n] == tag) continue;
        tags[n] = tag;
        webtest::httpGet(port, "/units/" + QByteArray::number(n) + "/latest.jpg");
        ++fetches;
      }
    }
  }
};

void BM_SixUnits100Streams10Pages(benchmark::State& state) {
  const double runSeconds = bench::soakSeconds();
  QTemporaryDir tmp;
  QStringList args{"--poll", "1000"};
  std::vector<QString> dirs;
  std::vector<std::vector<QByteArray>> pictures(6);
  for (int u = 0; u < 6; ++u) {
    QDir(tmp.path()).mkpath(QStringLiteral("unit%1").arg(u + 1));
    dirs.push_back(tmp.path() + QStringLiteral("/unit%1/").arg(u + 1));
    args << dirs.back();
    for (int i = 0; i < 4; ++i) pictures[size_t(u)].push_back(webtest::testJpeg(u * 10 + i, 640, 480));
    webtest::publishPicture(dirs.back(), pictures[size_t(u)][0], true, "start");
  }
  uint16_t port = 0;
  QProcess server;
  if (!webbench::startServer(server, args, &port))
    return state.SkipWithError("cannot start selvane-web (build it first)");

  std::vector<std::unique_ptr<webtest::RawClient>> streams;
  for (int i = 0; i < 100; ++i) {
    streams.push_back(std::make_unique<webtest::RawClient>(port));
    streams.back()->send("GET /units/" + QByteArray::number(i % 6 + 1) + "/stream HTTP/1.0\r\n\r\n");
  }
  std::vector<PageClient> pages(10);
  for (PageClient& p : pages) {
    p.feed = std::make_unique<webtest::RawClient>(port);
    p.feed->send("GET /events HTTP/1.0\r\n\r\n");
  }

  for (auto _ : state) {
    const int64_t start = webtest::nowMs();
    const double window = std::min(60.0, runSeconds / 5);
    ProcessReading first = readProcess(server.processId()), atWindow, beforeLast, early, middle;
    int64_t nextPublish = start;
    int published = 0;
    int64_t streamBytes = 0;
    std::vector<pollfd> fds;
    for (auto& s : streams) fds.push_back({s->fd(), POLLIN, 0});
    for (auto& p : pages) fds.push_back({p.feed->fd(), POLLIN, 0});
    char chunk[1 << 16];
    for (;;) {
      const double t = double(webtest::nowMs() - start) / 1000;
      if (t >= runSeconds) break;
      if (atWindow.cpuSeconds < 0 && t >= window) atWindow = readProcess(server.processId());
      if (early.rssKiB < 0 && t >= 10) early = readProcess(server.processId());
      if (middle.rssKiB < 0 && t >= runSeconds / 2) middle = readProcess(server.processId());
      if (beforeLast.cpuSeconds < 0 && t >= runSeconds - window) beforeLast = readProcess(server.processId());
      if (webtest::nowMs() >= nextPublish) {
        // The six units publish spread over the second, as their own timers would.
        const int u = published % 6;
        webtest::publishPicture(dirs[size_t(u)], pictures[size_t(u)][size_t(published / 6 % 4)], true,
                                QString::number(published));
        ++published;
        nextPublish = start + published * 1000 / 6;
      }
      ::poll(fds.data(), fds.size(), 20);
      for (size_t i = 0; i < fds.size(); ++i) {
        if (!(fds[i].revents & POLLIN)) continue;
        if (i < streams.size()) {
          const ssize_t n = ::recv(fds[i].fd, chunk, sizeof chunk, MSG_DONTWAIT);
          if (n > 0) streamBytes += n;
        } else {
          PageClient& p = pages[i - streams.size()];
          p.feed->readFor(0);
          p.onData(port);
        }
      }
    }
    const ProcessReading last = readProcess(server.processId());
    int fetches = 0;
    for (const PageClient& p : pages) fetches += p.fetches;
    state.counters["seconds"] = runSeconds;
    state.counters["pictures_published"] = published;
    state.counters["stream_MiB_per_s"] = double(streamBytes) / runSeconds / (1 << 20);
    state.counters["page_fetches"] = fetches;
    state.counters["cpu_pct_all"] = 100 * (last.cpuSeconds - first.cpuSeconds) / runSeconds;
    state.counters["cpu_pct_first_window"] = 100 * (atWindow.cpuSeconds - first.cpuSeconds) / window;
    state.counters["cpu_pct_last_window"] = 100 * (last.cpuSeconds - beforeLast.cpuSeconds) / window;
    state.counters["rss_10s_KiB"] = early.rssKiB;
    state.counters["rss_half_KiB"] = middle.rssKiB;
    state.counters["rss_end_KiB"] = last.rssKiB;
  }
  server.terminate();
  server.waitForFinished(5000);
  state.counters["clean_exit"] = server.exitStatus() == QProcess::NormalExit && server.exitCode() == 0;
}
BENCHMARK(BM_SixUnits100Streams10Pages)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
