// Benchmarks of selvane-web: the latency from a marker flip to a stream
// client, the fan-out of one picture to 100 stream clients beside writing it
// to 100 sockets directly, and a soak of the real program (six units, 100
// streams, 10 pages). Own option: --soak_seconds=N (default 300).
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "soak_options.h"

int main(int argc, char** argv) {
  constexpr const char* kSoak = "--soak_seconds=";
  bench::soakSecondsSetting() = 300.0;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kSoak, std::strlen(kSoak)) == 0)
      bench::soakSecondsSetting() = std::atof(argv[i] + std::strlen(kSoak));
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  std::signal(SIGPIPE, SIG_IGN);
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
