// The control screen's handling of one captured 640 x 480 I420 frame, beside
// its floor in the same run.
//
// Unit 1 has rotation and zoom on (27, 5), colour on (15 / 12 / 8 / 10),
// saving on, JPEG as send format and its display slot registered; the
// capture screen is shown with its six panes, as during a run. One real
// capture through the control leaves the frame in the control; then the
// program's Capture handler runs again and again on that frame, each time
// with the unit marked pending, exactly as the event calls it: the lamp, the
// control's texts, WriteBmp of the frame file, open, rotate and zoom, colour,
// drawing into the slot, JPEG, and publishing (cap.ctl, slot file, marker).
//
// The floor makes the same library calls directly: the control's WriteBmp,
// BitMapOpen, BmpScalConv, BmpColChange, BmpDisp, BmptoJpgConvert,
// JpgFileSend and BitMapClose, plus the 48-byte cap.ctl read and two writes
// and the CAPDIR flip with plain system calls. Handler and floor alternate,
// taking turns at going first, so both see the same machine load and
// caches; "ratio" is handler time over floor time.
// Paint events that the drawing queues are delivered between the timed
// parts, for both alike.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QScrollBar>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "capture_run/capture_run.h"
#include "clients/korvex_client.h"
#include "clients/plenkit_client.h"
#include "platform/qt_bridge.h"
#include "screens/capture_screen.h"
#include "screens/unit_pane.h"
#include "screens/widgets.h"
#include "testkit/process.h"
#include "testkit/program_host.h"
#include "testkit/wait.h"

namespace appbench {
using namespace testkit;
namespace {

constexpr int kUnit = 0;  // 0-based; the event's unit number is 1
constexpr int32_t kFmt640I420 = KORVEX_SIZE_640x480 + 16 * KORVEX_COMP_I420;
constexpr int32_t kStartFrames = 5;
constexpr int kRotation = 27, kZoom = 5;
constexpr int kBrightness = 15, kRed = 12, kGreen = 8, kBlue = 10;

// Unit 1 set up as the Start button and the operator's bars leave it.
void prepareUnit(ProgramHost& host, const QString& writeDir) {
  selvane::model::UnitModel& m = host.model();
  selvane::model::Adjustments& a = m.adjust[kUnit];
  a.rotation = kRotation;
  a.zoom = kZoom;
  a.brightness = kBrightness;
  a.red = kRed;
  a.green = kGreen;
  a.blue = kBlue;
  a.processing = 1;
  a.colour = 1;
  m.sendFormat = selvane::model::kSendJpeg;
  selvane::model::RunFields& run = m.run[kUnit];
  run.active = 1;
  run.save = 1;
  run.writeDir = writeDir;

  selvane::ControlScreen& screen = host.controlScreen();
  selvane::screens::CaptureScreen& capture = *screen.captureScreen();
  selvane::screens::UnitPane* p = capture.pane(kUnit);
  p->hscroll4->setValue(kRotation);
  p->vscroll2->setValue(kZoom);
  p->vscroll1->setValue(kBrightness);
  p->hscroll1->setValue(kRed);
  p->hscroll2->setValue(kGreen);
  p->hscroll3->setValue(kBlue);
  p->check1->setChecked(true);
  p->check2->setChecked(true);
  screen.hide();
  capture.layoutForUnits(selvane::model::kUnitCount);
  capture.show();
  screen.plenkit()->BitDispWindSet(kUnit, pl::hwndOf(p->picture1));
}

// The floor's own write directory: the same files written directly.
class FloorPublisher {
 public:
  explicit FloorPublisher(const QString& dir)
      : ctl_((dir + "cap.ctl").toStdString()),
        marker_((dir + "CAPDIR").toStdString()),
        slots_{(dir + "cap0.jpg").toStdString(), (dir + "cap1.jpg").toStdString()} {
    record_.fill(' ');
    std::memset(record_.data(), 0, 8);
  }

  // One image: cap.ctl marked writing, the slot file, cap.ctl marked JPEG
  // with the slot claimed, the marker flipped.
  bool publish(const selvane::Plenkit& lib) {
    const int fd = ::open(ctl_.c_str(), O_RDWR | O_CREAT, 0644);
    if (fd < 0) return false;
    if (::pread(fd, record_.data(), record_.size(), 0) != static_cast<ssize_t>(record_.size())) {
      record_.fill(' ');
      std::memset(record_.data(), 0, 8);
    }
    const int slot = record_[2] == 1 ? 1 : 0;
    record_[0] = 1;  // writing
    record_[1] = 0;
    bool ok = ::pwrite(fd, record_.data(), record_.size(), 0) == static_cast<ssize_t>(record_.size());
    ok = lib.JpgFileSend(slots_[static_cast<size_t>(slot)].c_str()) > 0 && ok;
    record_[0] = 2;  // newest is JPEG
    record_[2] = static_cast<char>(1 - slot);
    record_[4 + 2 * slot] = 1;
    std::memcpy(record_.data() + 8 + 20 * slot, "2024/01/01 00:00:00 ", 20);
    ok = ::pwrite(fd, record_.data(), record_.size(), 0) == static_cast<ssize_t>(record_.size()) && ok;
    ::close(fd);
    if (::mkdir(marker_.c_str(), 0755) != 0 && errno == EEXIST) ::rmdir(marker_.c_str());
    return ok;
  }

 private:
  std::string ctl_, marker_;
  std::array<std::string, 2> slots_;
  std::array<char, 48> record_{};
};

void BM_CaptureHandler(benchmark::State& state) {
  ProgramHost host(6, 30);
  std::string why;
  if (!host.load(&why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  const QString roadDir = host.newDir(QStringLiteral("road"));
  const QString floorDir = host.newDir(QStringLiteral("floor"));
  prepareUnit(host, roadDir);
  selvane::ControlScreen& screen = host.controlScreen();
  selvane::KorvexClient& korvex = screen.korvex();
  selvane::CaptureEvents& events = screen.captureRun().events();
  const selvane::Plenkit& lib = *screen.plenkit();
  selvane::model::RunFields& run = host.model().run[kUnit];

  // The one real capture: the control keeps its frame.
  if (korvex.CaptureStart(0) != 0) {
    state.SkipWithError("CaptureStart refused");
    return;
  }
  run.capturePending = 1;
  if (korvex.CaptureGo(kUnit + 1, kFmt640I420, kStartFrames) != 0 ||
      !waitUntil([&] { return run.capturePending == 0; }, 15000)) {
    state.SkipWithError("the real capture did not arrive");
    return;
  }
  if (!QFile::exists(roadDir + "cap0.jpg")) {
    state.SkipWithError("the real capture published no JPEG");
    return;
  }

  const QString framePath = events.frameFilePath();
  const QByteArray frameBytes = framePath.toUtf8();
  if (QFileInfo(framePath).size() != 54 + 640 * 480 * 3 / 2) {
    state.SkipWithError("the frame file is no 640 x 480 I420 frame");
    return;
  }
  FloorPublisher floor(floorDir);
  // The handler runs far more often than a unit may publish (once a second):
  // the pacing clock moves a second per call, so no picture is held back.
  int64_t pacingNow =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
  screen.captureRun().scheduler().setClock([&] { return pacingNow; });
  auto handler = [&] {
    pacingNow += selvane::CaptureScheduler::kMinPublishGapMs;
    run.capturePending = 1;
    events.onCapture(kUnit + 1, 0);
    return run.capturePending == 0;
  };
  double writeBmpTotal = 0;
  auto floorRoad = [&] {
    const auto w = Clock::now();
    bool ok = korvex.WriteBmp(kUnit, framePath) == 0;
    writeBmpTotal += secondsSince(w);
    ok = lib.BitMapOpen(0, frameBytes.constData()) == 0 && ok;
    lib.BmpScalConv(kRotation, kZoom);
    lib.BmpColChange(kBrightness, kRed, kGreen, kBlue);
    lib.BmpDisp(kUnit);
    ok = lib.BmptoJpgConvert(host.model().jpegQuality) > 0 && ok;
    ok = floor.publish(lib) && ok;
    lib.BitMapClose();
    return ok;
  };
  for (int i = 0; i < 3; ++i) {  // warm caches and files on both roads
    handler();
    floorRoad();
    QCoreApplication::processEvents();
  }
  writeBmpTotal = 0;
  const double heapBefore = heapInUseKiB();

  double handlerTotal = 0, floorTotal = 0;
  int64_t n = 0;
  bool handlerFirst = true;  // the two take turns going first
  for (auto _ : state) {
    bool handled = true, floorOk = true;
    double handlerSeconds = 0, floorSeconds = 0;
    for (int part = 0; part < 2; ++part) {
      const auto t = Clock::now();
      if ((part == 0) == handlerFirst) {
        handled = handler();
        handlerSeconds = secondsSince(t);
      } else {
        floorOk = floorRoad();
        floorSeconds = secondsSince(t);
      }
      QCoreApplication::processEvents();
    }
    handlerFirst = !handlerFirst;
    if (!handled || !floorOk) {
      state.SkipWithError(!handled ? "the handler left the unit pending" : "a floor call failed");
      break;
    }
    state.SetIterationTime(handlerSeconds);
    handlerTotal += handlerSeconds;
    floorTotal += floorSeconds;
    ++n;
  }
  const double heapAfter = heapInUseKiB();
  korvex.CaptureEnd();
  if (n > 0) {
    state.counters["heap_growth_B_per_call"] = 1024.0 * (heapAfter - heapBefore) / static_cast<double>(n);
    state.counters["floor_ms"] = 1000.0 * floorTotal / static_cast<double>(n);
    state.counters["writebmp_ms"] = 1000.0 * writeBmpTotal / static_cast<double>(n);
    state.counters["ratio"] = handlerTotal / floorTotal;
  }
  const QString text = screen.captureScreen()->pane(kUnit)->text1->text();
  if (text.contains(QStringLiteral("エラー"))) state.SkipWithError(("the unit shows " + text).toStdString().c_str());
  if (!host.boxes().empty()) state.SkipWithError(("message box: " + host.boxes().front().text).c_str());
}
BENCHMARK(BM_CaptureHandler)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(100);

}  // namespace
}  // namespace appbench
