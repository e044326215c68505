// The station's store with readers on other computers reading through the
// shipped Samba share (a private smbd on a loopback port, as in the tests):
//   BM_StoreBesideSmbReaders - a store in a directory that ten SMB readers
//     read, each holding the slot file it reads open for 200 ms, beside a store
//     in a directory nobody reads (the floor), in turns, one pair every 20 ms.
//     Goals: ratio at most 1.1; the read directory's 99th percentile at most 5 ms.
//   BM_MarkerFlipToSmbPoller - from the end of a store (the marker flip) to
//     an SMB reader that reads cap.ctl every 200 ms seeing the new record:
//     median and maximum (the floor: half the poll period and the whole of it).
// Runs as root (smbd); reader_probe is scripts/reader_probe.
#include <benchmark/benchmark.h>
#include <fcntl.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <numeric>
#include <random>
#include <thread>

#include "loopback_share.h"
#include "stamped_store.h"
#include "testkit/smb_guest.h"

namespace {

using Clock = std::chrono::steady_clock;
using selvane::publication::Format;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

// The shared folder on the disk (not a tmpfs), with the directories asked for.
struct Served {
  explicit Served(const QStringList& units) {
    for (const QString& u : units) QDir().mkpath(folder.filePath(u));
    share = std::make_unique<LoopbackShare>(folder.path());
  }
  QString dir(const QString& unit) const { return folder.filePath(unit) + "/"; }
  QTemporaryDir folder{QDir::currentPath() + QStringLiteral("/share-bench-XXXXXX")};
  std::unique_ptr<LoopbackShare> share;
};

void BM_StoreBesideSmbReaders(benchmark::State& state) {
  Served served({"read", "alone"});
  const QString probe = QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/reader_probe");
  if (!served.share->problem().empty() || !QFileInfo::exists(probe)) {
    state.SkipWithError(served.share->problem().empty() ? "reader_probe not built" : served.share->problem().c_str());
    return;
  }
  std::vector<stamped::Bytes> pictures;
  for (int id = 1; id <= 40; ++id) pictures.push_back(stamped::jpeg(id));
  storeStamped(served.dir("read"), 1, Format::Jpeg, &pictures[0]);
  // The readers end about a second after the last store.
  const QString seconds = QString::number(1.5 + 0.02 * static_cast<double>(state.max_iterations));
  std::array<QProcess, 10> readers;
  for (QProcess& r : readers)
    r.start(probe, {"--seconds", seconds, "--read-ms", "200", "--check", "id",
                    QString::fromStdString(served.share->url("read/"))});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // all connected and reading

  std::vector<double> readMs, aloneMs;
  bool ok = true, turn = false;
  int id = 0;
  for (auto _ : state) {
    const auto next = Clock::now() + std::chrono::milliseconds(20);
    const stamped::Bytes& picture = pictures[static_cast<size_t>(++id % 40)];
    auto timed = [&](const char* unit, std::vector<double>& into) {
      const auto start = Clock::now();
      ok = storeStamped(served.dir(unit), id % 40 + 1, Format::Jpeg, &picture).published && ok;
      into.push_back(ms(Clock::now() - start));
    };
    turn = !turn;
    if (turn)
      timed("read", readMs), timed("alone", aloneMs);
    else
      timed("alone", aloneMs), timed("read", readMs);
    std::this_thread::sleep_until(next);
  }
  long accepted = 0, bad = 0, failed = 0;
  for (QProcess& r : readers) {
    r.waitForFinished(10000);
    const QString out = QString::fromLocal8Bit(r.readAllStandardOutput());  // accepted=N retried=N bad=N failed=N
    accepted += out.section(' ', 0, 0).section('=', 1).toLong();
    bad += out.section(' ', 2, 2).section('=', 1).toLong();
    failed += out.section(' ', 3, 3).section('=', 1).toLong();
  }
  if (!ok) state.SkipWithError("a store failed");
  if (bad > 0) state.SkipWithError("a reader accepted a torn or false picture");
  if (const std::string trouble = served.share->trouble(); !trouble.empty())
    std::fprintf(stderr, "smbd: %s\n", trouble.c_str());
  state.counters["readers_accepted"] = static_cast<double>(accepted);
  state.counters["readers_failed_reads"] = static_cast<double>(failed);
  const double readMean = std::accumulate(readMs.begin(), readMs.end(), 0.0) / static_cast<double>(readMs.size());
  const double aloneMean = std::accumulate(aloneMs.begin(), aloneMs.end(), 0.0) / static_cast<double>(aloneMs.size());
  state.counters["alone_us"] = 1e3 * aloneMean;
  state.counters["read_us"] = 1e3 * readMean;
  state.counters["ratio"] = readMean / aloneMean;
  state.counters["read_p99_ms"] = percentile(readMs, 0.99);
  state.counters["alone_p99_ms"] = percentile(aloneMs, 0.99);
  state.counters["read_max_ms"] = percentile(readMs, 1.0);
}
BENCHMARK(BM_StoreBesideSmbReaders)->Iterations(500)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MarkerFlipToSmbPoller(benchmark::State& state) {
  Served served({"unit1"});
  if (!served.share->problem().empty() || !initSmbGuest()) {
    state.SkipWithError(served.share->problem().empty() ? "libsmbclient" : served.share->problem().c_str());
    return;
  }
  const std::string control = served.share->url("unit1/cap.ctl");
  const stamped::Bytes picture = stamped::jpeg(1);
  storeStamped(served.dir("unit1"), 1, Format::Jpeg, &picture);

  // The poller: reads cap.ctl every 200 ms on its own schedule, as a reader would.
  std::atomic<int64_t> seenNs{0};  // when the poller saw a new record (steady clock); 0: not yet
  std::atomic<bool> stop{false};
  std::vector<double> seenMs, readMs;
  const auto origin = Clock::now();
  constexpr auto kPoll = std::chrono::milliseconds(200);
  std::thread poller([&] {
    std::string last;
    for (auto tick = origin; !stop; tick += kPoll) {
      std::this_thread::sleep_until(tick);
      const auto start = Clock::now();
      char record[48];
      const int fd = smbc_open(control.c_str(), O_RDONLY, 0);
      const ssize_t got = fd >= 0 ? smbc_read(fd, record, sizeof record) : -1;
      if (fd >= 0) smbc_close(fd);
      const auto now = Clock::now();
      readMs.push_back(ms(now - start));
      const std::string seen = got == 48 ? std::string(record, 48) : last;
      if (seen != last && !last.empty()) seenNs = now.time_since_epoch().count();
      last = seen;
    }
  });
  std::mt19937 random(20);
  int id = 1;
  for (auto _ : state) {
    // Once the last store was seen, the next at a random moment of the poll
    // period after next.
    const auto period = (Clock::now() - origin) / kPoll + 2;
    std::this_thread::sleep_until(origin + period * kPoll +
                                  std::chrono::milliseconds(std::uniform_int_distribution<>(0, 199)(random)));
    seenNs = 0;
    storeStamped(served.dir("unit1"), ++id, Format::Jpeg, &picture);
    const int64_t flipped = Clock::now().time_since_epoch().count();
    while (seenNs == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    seenMs.push_back(std::max<int64_t>(0, seenNs - flipped) / 1e6);  // 0: seen while the marker flipped
  }
  stop = true;
  poller.join();
  state.counters["seen_median_ms"] = percentile(seenMs, 0.5);
  state.counters["seen_max_ms"] = percentile(seenMs, 1.0);
  state.counters["read_median_ms"] = percentile(readMs, 0.5);  // one open, read and close of cap.ctl
  state.counters["poll_ms"] = 200;
}
BENCHMARK(BM_MarkerFlipToSmbPoller)->Iterations(60)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
