// Start-up of the control screen program with six virtual cameras, from
// process start to a painted control screen, one fresh process per
// measurement (offscreen, the throw-away registry of this run).
//
//   BM_StartUp_Program   the real `selvane` of the program directory, unchanged.
//                        "Shown" is its first flush of the control screen's
//                        window, which Qt's painting log reports on stderr;
//                        the log adds a few hundred lines of output, so this
//                        figure is slightly high.
//   BM_StartUp_Stages    this program re-run as a child doing what `selvane`'s
//                        main does (application, ControlScreen, load, first paint),
//                        without the log; reports each stage's share.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <functional>

#include "startup_child.h"
#include "testkit/process.h"

namespace appbench {
using namespace testkit;
namespace {

constexpr int kTimeoutMs = 20000;

QString programDir() { return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/..")); }

QProcessEnvironment childEnvironment() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("VCAM_DEVICES"), QStringLiteral("6"));
  env.remove(QStringLiteral("VCAM_FPS"));
  return env;
}

// Waits for the first line of `channel` that `wanted` accepts; seconds from
// `start` to its arrival, or -1.
double waitForLine(QProcess& p, QProcess::ProcessChannel channel, const std::function<bool(const QByteArray&)>& wanted,
                   Clock::time_point start, QByteArray* line) {
  p.setReadChannel(channel);
  const auto deadline = start + std::chrono::milliseconds(kTimeoutMs);
  for (;;) {
    while (p.canReadLine()) {
      const QByteArray l = p.readLine();
      if (wanted(l)) {
        const double s = secondsSince(start);
        *line = l.trimmed();
        return s;
      }
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || !p.waitForReadyRead(static_cast<int>(left))) return -1;
  }
}

void endChild(QProcess& p) {
  if (p.state() != QProcess::NotRunning) {
    p.kill();
    p.waitForFinished(5000);
  }
}

// One run of the real program: seconds to the first flush of ControlScreen, or -1.
double programStart() {
  QProcess p;
  QProcessEnvironment env = childEnvironment();
  env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.widgets.painting=true"));
  p.setProcessEnvironment(env);
  p.setWorkingDirectory(programDir());
  p.setStandardOutputFile(QProcess::nullDevice());
  const auto start = Clock::now();
  p.start(programDir() + QStringLiteral("/selvane"), {});
  QByteArray line;
  const double s = waitForLine(
      p, QProcess::StandardError,
      [](const QByteArray& l) {
        return l.startsWith("qt.widgets.painting: Flushing QRegion") && l.contains("name=\"ControlScreen\"");
      },
      start, &line);
  endChild(p);
  return s;
}

void BM_StartUp_Program(benchmark::State& state) {
  if (programStart() < 0) {  // files into the page cache
    state.SkipWithError("selvane showed no control screen");
    return;
  }
  for (auto _ : state) {
    const double s = programStart();
    if (s < 0) {
      state.SkipWithError("selvane showed no control screen");
      break;
    }
    state.SetIterationTime(s);
  }
}
BENCHMARK(BM_StartUp_Program)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

struct Stages {
  double total = -1;                                        // seconds, measured here
  double application = 0, form = 0, load = 0, painted = 0;  // ms from the child's main
};

Stages childStart() {
  QProcess p;
  p.setProcessEnvironment(childEnvironment());
  p.setStandardErrorFile(QProcess::nullDevice());
  const auto start = Clock::now();
  p.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kStartupChildFlag), programDir()});
  QByteArray line;
  Stages s;
  s.total = waitForLine(
      p, QProcess::StandardOutput,
      [](const QByteArray& l) { return l.startsWith("shown ") || l.startsWith("failed "); }, start, &line);
  endChild(p);
  const QList<QByteArray> f = line.split(' ');
  if (f.size() != 6 || f[0] != "shown" || f[5] != "6") {  // six cameras listed
    s.total = -1;
    return s;
  }
  s.application = f[1].toDouble();
  s.form = f[2].toDouble();
  s.load = f[3].toDouble();
  s.painted = f[4].toDouble();
  return s;
}

void BM_StartUp_Stages(benchmark::State& state) {
  if (childStart().total < 0) {
    state.SkipWithError("the start-up child showed no control screen");
    return;
  }
  Stages sum{0, 0, 0, 0, 0};
  int64_t n = 0;
  for (auto _ : state) {
    const Stages s = childStart();
    if (s.total < 0) {
      state.SkipWithError("the start-up child showed no control screen");
      break;
    }
    state.SetIterationTime(s.total);
    sum.total += s.total;
    sum.application += s.application;
    sum.form += s.form - s.application;
    sum.load += s.load - s.form;
    sum.painted += s.painted - s.load;
    ++n;
  }
  if (n == 0) return;
  const double k = 1.0 / static_cast<double>(n);
  // Process creation and loading up to main, plus the report's way back.
  state.counters["before_main_ms"] = k * (1000.0 * sum.total - sum.application - sum.form - sum.load - sum.painted);
  state.counters["qapp_ms"] = k * sum.application;
  state.counters["control_screen_ms"] = k * sum.form;
  state.counters["load_ms"] = k * sum.load;
  state.counters["paint_ms"] = k * sum.painted;
}
BENCHMARK(BM_StartUp_Stages)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

}  // namespace
}  // namespace appbench
