// Benchmarks of the control screen program `selvane`, run offscreen with
// virtual cameras: the Capture handler of one frame beside its floor, the
// start-up to a shown control screen, and a 60-second run of six units.
//
// The capture control of the program directory (one up from this program)
// is registered with the real regsvr32 into a throw-away registry, and the
// program's temporary directory (where it keeps the frame file) is one of
// this run's own, so that nothing here meets another run's files. Child
// processes inherit both.
//
// Own option: --soak_seconds=N shortens (or lengthens) the soak run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QProcess>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/services.h"
#include "soak_options.h"
#include "startup_child.h"
#include "testkit/com.h"

namespace {

// Takes --soak_seconds=N out of argv.
bool takeOwnOptions(int* argc, char** argv) {
  constexpr const char* kSoak = "--soak_seconds=";
  int kept = 1;
  for (int i = 1; i < *argc; ++i) {
    if (std::strncmp(argv[i], kSoak, std::strlen(kSoak)) == 0) {
      const double s = std::atof(argv[i] + std::strlen(kSoak));
      if (s < 2) {
        std::fprintf(stderr, "--soak_seconds must be at least 2\n");
        return false;
      }
      bench::soakSecondsSetting() = s;
      continue;
    }
    argv[kept++] = argv[i];
  }
  *argc = kept;
  argv[kept] = nullptr;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const auto mainEntry = appbench::Clock::now();
  if (argc > 1 && std::strcmp(argv[1], appbench::kStartupChildFlag) == 0)
    appbench::runStartupChild(argc, argv, mainEntry);

  if (!takeOwnOptions(&argc, argv)) return 1;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Set before anything reads them.
  QTemporaryDir runDir;
  if (!runDir.isValid() || !QDir().mkpath(runDir.filePath(QStringLiteral("tmp")))) {
    std::fprintf(stderr, "no temporary directory for the run\n");
    return 1;
  }
  qputenv("PL_REGISTRY", QFile::encodeName(runDir.filePath(QStringLiteral("registry.reg"))));
  qputenv("TMPDIR", QFile::encodeName(runDir.filePath(QStringLiteral("tmp"))));

  QApplication app(argc, argv);
  // As the program's main sets itself up.
  app.setApplicationName(QStringLiteral("Selvane"));
  pl_SetAppTitle("Selvane");
  app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  app.setFont(QFont(QStringLiteral("IPAGothic"), 9));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const comtest::ToolResult registered =
      comtest::regsvr32({QStringLiteral("/s"), comtest::outDir() + QStringLiteral("/Korvex.OCX")});
  if (registered.exitCode != 0) {
    std::fprintf(stderr, "regsvr32 /s Korvex.OCX failed: %s\n", registered.errors.constData());
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
