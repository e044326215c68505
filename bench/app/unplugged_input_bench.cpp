// The operator's input delay while one of six emulated UVC webcams is
// unplugged, beside the same run with all six plugged (its floor): six units
// saving JPEG every 1000 ms in safe mode, the device check running. The run
// is measured in two halves of the soak length (at most 20 s each): all
// plugged, then camera 1 unplugged. Goal: the p99 delay with one unplugged at
// most 50 ms above that with all plugged (an unplugged camera must not make
// every device check list every video node under the lock a capture takes).
#include <benchmark/benchmark.h>

#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "camera/testing.h"
#include "interval_probe.h"
#include "screens/capture_screen.h"
#include "soak_options.h"
#include "testkit/program_host.h"
#include "testkit/wait.h"

namespace appbench {
namespace {

double p99Over(double seconds) {
  InputProbe input;
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
  loop.exec();
  input.stop();
  return input.delayMs(0.99);
}

void BM_InputDelayWithAWebcamUnplugged(benchmark::State& state) {
  constexpr int kCameras = 6;
  std::vector<CG_UVC_SPEC> specs(kCameras, CG_UVC_SPEC{nullptr, 0});
  if (cg_SetUvcCameras(specs.data(), kCameras) != S_OK) {
    state.SkipWithError("no emulated webcams");
    return;
  }
  const double half = std::min(20.0, bench::soakSeconds() / 2);
  {
    ProgramHost host(0, 30);
    std::string why;
    if (!host.load(&why)) {
      state.SkipWithError(why.c_str());
      cg_SetUvcCameras(nullptr, 0);
      return;
    }
    selvane::ControlScreen& screen = host.controlScreen();
    host.saveEveryUnit(QStringLiteral("1000"), QStringLiteral("5"));
    selvane::screens::CaptureScreen& capture = *screen.captureScreen();
    screen.startButton()->click();
    if (!waitUntil([&] { return capture.running(); }, 5000)) {
      state.SkipWithError("the capture screen did not start");
    } else {
      for (auto _ : state) {
        p99Over(3);  // the first pictures of every unit
        const double plugged = p99Over(half);
        cg_SetUvcCameraState(0, CG_UVC_UNPLUGGED);
        const double unplugged = p99Over(half);
        cg_SetUvcCameraState(0, CG_UVC_PLUGGED);
        state.SetIterationTime(3 + 2 * half);
        state.counters["input_delay_p99_all_plugged_ms"] = plugged;
        state.counters["input_delay_p99_one_unplugged_ms"] = unplugged;
        state.counters["unplugged_above_plugged_ms"] = unplugged - plugged;
        state.counters["goal_above_ms"] = 50;
      }
      capture.stopButton()->click();
      capture.backButton()->click();
    }
  }
  cg_SetUvcCameras(nullptr, 0);
}
BENCHMARK(BM_InputDelayWithAWebcamUnplugged)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

}  // namespace
}  // namespace appbench
