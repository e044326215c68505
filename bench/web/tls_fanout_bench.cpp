// One picture fanned out to 100 stream clients over HTTPS beside the same
// over plain HTTP (goal: at most twice the time). Both sides use the same
// client code (Qt's sockets, one thread), so the difference is the server's
// encryption per client and the clients' decryption.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QThread>

#include <ctime>
#include <memory>
#include <vector>

#include "fan_out_board.h"
#include "http_server.h"
#include "picture.h"
#include "testkit/web/publish_picture.h"
#include "testkit/web/raw_client.h"
#include "testkit/web/test_credentials.h"
#include "tls.h"

using namespace selvane::web;

namespace {

class QtStreamReaders {
 public:
  QtStreamReaders(uint16_t port, int count, const webtest::Credentials* tls) {
    for (int i = 0; i < count; ++i) {
      std::unique_ptr<QTcpSocket> s;
      if (tls) {
        auto ssl = std::make_unique<QSslSocket>();
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setCaCertificates(QSslCertificate::fromPath(tls->cert));
        ssl->setSslConfiguration(config);
        ssl->connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
        s = std::move(ssl);
      } else {
        s = std::make_unique<QTcpSocket>();
        s->connectToHost(QStringLiteral("127.0.0.1"), port);
      }
      const size_t index = sockets_.size();
      QObject::connect(s.get(), &QIODevice::readyRead,
                       [this, index] { received_[index] += sockets_[index]->readAll().size(); });
      // Written once connected (encrypted for TLS): Qt queues it until then.
      s->write("GET /units/1/stream HTTP/1.0\r\n\r\n");
      sockets_.push_back(std::move(s));
    }
    received_.assign(sockets_.size(), 0);
    // Everyone has the first part once nothing arrives for 200 ms.
    int64_t total = -1;
    for (int quiet = 0; quiet < 20;) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      int64_t now = 0;
      for (int64_t r : received_) now += r;
      quiet = now == total && now > 0 ? quiet + 1 : 0;
      total = now;
      QThread::msleep(10);
    }
    expected_ = received_;
  }
  void expect(int64_t bytes) {
    for (auto& e : expected_) e += bytes;
  }
  bool waitAll(int ms) {
    const int64_t end = webtest::nowMs() + ms;
    for (;;) {
      bool all = true;
      for (size_t i = 0; i < received_.size(); ++i) all = all && received_[i] >= expected_[i];
      if (all) return true;
      if (webtest::nowMs() > end) return false;
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
  }

 private:
  std::vector<std::unique_ptr<QTcpSocket>> sockets_;
  std::vector<int64_t> received_, expected_;
};

double processCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}
double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Arg 0: plain HTTP; 1: HTTPS.
void BM_FanOut100StreamsHttpsVsHttp(benchmark::State& state) {
  const bool https = state.range(0) != 0;
  webtest::Credentials credentials;
  webbench::FanOutBoard fan;
  HttpServer::Options options{QStringLiteral("127.0.0.1:0")};
  QString error;
  if (https && (!credentials.made || !readPem(credentials.cert, &options.tlsCert, &error) ||
                !readPem(credentials.key, &options.tlsKey, &error)))
    return state.SkipWithError("no test certificate (openssl)");
  HttpServer server(fan.board(), options);
  if (!server.start(&error)) return state.SkipWithError(qPrintable(error));
  QtStreamReaders clients(server.port(), 100, https ? &credentials : nullptr);
  const double cpuBefore = processCpuMs() - threadCpuMs();
  for (auto _ : state) {
    clients.expect(fan.publishNext());
    if (!clients.waitAll(10000)) return state.SkipWithError("a client missed the picture");
  }
  state.SetBytesProcessed(state.iterations() * 100 * fan.partSize());
  // What the server threads spent per fan-out (the process but this
  // thread, which only runs the clients).
  state.counters["server_cpu_ms"] = (processCpuMs() - threadCpuMs() - cpuBefore) / double(state.iterations());
  state.SetLabel(https ? "https" : "http (floor)");
  server.stop();
}
BENCHMARK(BM_FanOut100StreamsHttpsVsHttp)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
