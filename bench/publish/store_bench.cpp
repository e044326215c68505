// One store of a 640 x 480 picture in a write directory (cap.ctl state 1,
// slot file, final record, marker flip), three ways, in the same loop so that
// all see the same machine load and caches, taking turns at going first:
//   direct  - as the program stored before: the slot file opened in place,
//             overwritten and cut to length (the floor);
//   atomic  - selvane::publication::storeImage: beside, then renamed over the slot;
//   flushed - the same with an fsync of the picture before the rename.
// "ratio" is atomic over direct (goal: at most 1.1); "flush_cost_us" is what
// the fsync adds to one store. Arguments: picture bytes (a camera JPEG, a BMP).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <vector>

#include "selvane/publication/control_record.h"
#include "selvane/publication/store.h"

namespace {

using Clock = std::chrono::steady_clock;
using selvane::publication::ControlRecord;

bool writeFile(const std::string& path, const std::vector<char>& bytes, int flags) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666);
  if (fd < 0) return false;
  bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
            ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
  return ::close(fd) == 0 && ok;
}

// The store as the program did it before: every step in place.
bool directStore(const QString& dir, const QString& text, const std::vector<char>& picture) {
  using namespace selvane::publication;
  const QString control = controlFilePath(dir);
  ControlRecord record = readControlFile(control);
  record.state = ControlRecord::kStateWriting;
  writeControlFile(control, record);
  const int slot = record.claimSlot(text);
  const bool ok = writeFile(imageFilePath(dir, slot, true).toStdString(), picture, 0);
  record.state = ControlRecord::kStateJpeg;
  writeControlFile(control, record);
  const QString marker = markerDirPath(dir);
  if (!QDir().rmdir(marker)) QDir().mkdir(marker);
  return ok;
}

void BM_Store(benchmark::State& state) {
  const std::vector<char> picture(static_cast<size_t>(state.range(0)), 'x');
  QTemporaryDir base(QDir::currentPath() + QStringLiteral("/store-bench-XXXXXX"));  // the disk, not a tmpfs
  const QString direct = base.path() + "/direct/", atomic = base.path() + "/atomic/",
                flushed = base.path() + "/flushed/";
  for (const QString& d : {direct, atomic, flushed}) QDir().mkpath(d);
  const QString text = QStringLiteral("2026/01/01 00:00:00");
  const selvane::publication::PictureWriter write = [&](const std::string& path) {
    return selvane::publication::WriteOutcome{writeFile(path, picture, 0), errno};
  };
  double directSeconds = 0, atomicSeconds = 0, flushedSeconds = 0;
  bool ok = true, turn = false;
  auto timeIt = [](double& total, auto&& body) {
    const auto start = Clock::now();
    const bool done = body();
    total += std::chrono::duration<double>(Clock::now() - start).count();
    return done;
  };
  for (auto _ : state) {
    auto runDirect = [&] { return timeIt(directSeconds, [&] { return directStore(direct, text, picture); }); };
    auto runAtomic = [&] {
      return timeIt(atomicSeconds, [&] {
        return selvane::publication::storeImage(atomic, text, selvane::publication::Format::Jpeg, write).published;
      });
    };
    turn = !turn;
    ok = (turn ? runDirect() && runAtomic() : runAtomic() && runDirect()) && ok;
    ok = timeIt(flushedSeconds,
                [&] {
                  return selvane::publication::storeImage(flushed, text, selvane::publication::Format::Jpeg, write,
                                                          {true})
                      .published;
                }) &&
         ok;
  }
  if (!ok) state.SkipWithError("a store failed");
  const double n = static_cast<double>(state.iterations());
  state.counters["direct_us"] = 1e6 * directSeconds / n;
  state.counters["atomic_us"] = 1e6 * atomicSeconds / n;
  state.counters["flushed_us"] = 1e6 * flushedSeconds / n;
  state.counters["ratio"] = atomicSeconds / directSeconds;
  state.counters["flush_cost_us"] = 1e6 * (flushedSeconds - atomicSeconds) / n;
}
BENCHMARK(BM_Store)->Arg(60000)->Arg(921654)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
