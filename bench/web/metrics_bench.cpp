// One scrape of /metrics with six units and 100 open streams (goal < 1 ms),
// beside its floor: the same request cycle for a fixed page asset. Also the
// text alone, without HTTP.
#include <benchmark/benchmark.h>

#include "board.h"
#include "http_server.h"
#include "metrics.h"
#include "picture.h"
#include "stream_readers.h"
#include "testkit/web/publish_picture.h"

using namespace selvane::web;

namespace {

struct SixUnits {
  Board board{[] {
    std::vector<UnitViewPtr> views;
    for (int n = 1; n <= 6; ++n) {
      auto v = std::make_shared<UnitView>();
      v->number = n;
      v->readable = true;
      v->picture = makePicture(webtest::testJpeg(n, 640, 480), true, 0);
      v->pictureSeq = 1;
      v->activity.pictures = 1000 + static_cast<uint64_t>(n);
      v->activity.lastPictureMs = 1'796'000'000'000;
      views.push_back(std::move(v));
    }
    return views;
  }()};
  HttpServer server{board, {QStringLiteral("127.0.0.1:0")}};
};

void scrape(benchmark::State& state, const QByteArray& path) {
  SixUnits six;
  QString error;
  if (!six.server.start(&error)) return state.SkipWithError(qPrintable(error));
  webbench::StreamReaders streams(six.server.port(), 1, 100);
  for (auto _ : state) {
    const webtest::Reply r = webtest::httpGet(six.server.port(), path);
    if (r.status != 200) return state.SkipWithError("the scrape failed");
  }
  state.counters["goal_ms"] = 1.0;
  six.server.stop();
}

void BM_MetricsScrape6Units100Streams(benchmark::State& state) { scrape(state, "/metrics"); }
BENCHMARK(BM_MetricsScrape6Units100Streams)->Unit(benchmark::kMillisecond)->UseRealTime();

// Floor: the same connection, request and answer for a fixed asset.
void BM_MetricsScrapeFloorFixedAsset(benchmark::State& state) { scrape(state, "/page.css"); }
BENCHMARK(BM_MetricsScrapeFloorFixedAsset)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MetricsTextOnly(benchmark::State& state) {
  SixUnits six;
  for (auto _ : state) benchmark::DoNotOptimize(metricsText(six.board, 100));
}
BENCHMARK(BM_MetricsTextOnly)->Unit(benchmark::kMicrosecond);

}  // namespace
