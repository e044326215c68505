// The drawing engine on one 640 x 480 I420 frame, each beside the bare
// libyuv conversion it is built on: into a 153 x 105 window (I420ToARGB),
// into a memory context (I420ToRGB24).
#include <benchmark/benchmark.h>
#include <libyuv/convert_argb.h>

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>
#include <memory>
#include <vector>

#include "platform/drawdib.h"
#include "platform/qt_bridge.h"
#include "platform/window.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kChromaWidth = kWidth / 2;
constexpr size_t kLuma = size_t{kWidth} * kHeight;
constexpr size_t kChroma = kLuma / 4;

struct Frame {
  BITMAPINFOHEADER header{};
  std::vector<uint8_t> bits;
  Frame() : bits(kLuma + 2 * kChroma) {
    header.biSize = sizeof header;
    header.biWidth = kWidth;
    header.biHeight = kHeight;
    header.biPlanes = 1;
    header.biBitCount = 12;
    header.biCompression = FOURCC_I420;
    header.biSizeImage = static_cast<DWORD>(bits.size());
    for (size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<uint8_t>(i * 7 + i / 640);
  }
  const uint8_t* y() const { return bits.data(); }
  const uint8_t* u() const { return bits.data() + kLuma; }
  const uint8_t* v() const { return bits.data() + kLuma + kChroma; }
};

const Frame& frame() {
  static const Frame f;
  return f;
}

// Floor of the window drawing: the conversion into a fresh picture.
void BM_Floor_I420ToARGB(benchmark::State& state) {
  std::vector<uint8_t> argb(kLuma * 4);
  for (auto _ : state) {
    libyuv::I420ToARGB(frame().y(), kWidth, frame().u(), kChromaWidth, frame().v(), kChromaWidth, argb.data(),
                       kWidth * 4, kWidth, kHeight);
    benchmark::DoNotOptimize(argb.data());
  }
}
BENCHMARK(BM_Floor_I420ToARGB);

// The floor as the engine meets it: the shown picture must stay intact while
// the next frame is converted, so conversions alternate between two pictures.
void BM_Floor_I420ToARGB_TwoPictures(benchmark::State& state) {
  std::vector<uint8_t> argb[2] = {std::vector<uint8_t>(kLuma * 4), std::vector<uint8_t>(kLuma * 4)};
  int next = 0;
  for (auto _ : state) {
    libyuv::I420ToARGB(frame().y(), kWidth, frame().u(), kChromaWidth, frame().v(), kChromaWidth, argb[next].data(),
                       kWidth * 4, kWidth, kHeight);
    benchmark::DoNotOptimize(argb[next].data());
    next ^= 1;
  }
}
BENCHMARK(BM_Floor_I420ToARGB_TwoPictures);

// Drawing into a 153 x 105 window. Argument 0: the call alone (the window
// takes each picture at once, painting left out); 1: the UI thread also
// paints every frame, stretching it into the window.
void BM_DrawDibDraw_Window(benchmark::State& state) {
  QWidget window;
  window.resize(153, 105);
  window.show();
  QCoreApplication::processEvents();
  const HWND hwnd = pl::hwndOf(&window);
  const HDC dc = GetDC(hwnd);
  HDRAWDIB hdd = DrawDibOpen();
  const bool paint = state.range(0) != 0;
  for (auto _ : state) {
    if (!DrawDibDraw(hdd, dc, 0, 0, 153, 105, &frame().header, frame().bits.data(), 0, 0, -1, -1, 0)) {
      state.SkipWithError("DrawDibDraw failed");
      break;
    }
    if (paint) QCoreApplication::processEvents();
  }
  DrawDibClose(hdd);
  ReleaseDC(hwnd, dc);
}
BENCHMARK(BM_DrawDibDraw_Window)->ArgName("painted")->Arg(0)->Arg(1);

// Floor of the memory drawing.
void BM_Floor_I420ToRGB24(benchmark::State& state) {
  std::vector<uint8_t> rgb(kLuma * 3);
  for (auto _ : state) {
    libyuv::I420ToRGB24(frame().y(), kWidth, frame().u(), kChromaWidth, frame().v(), kChromaWidth, rgb.data(),
                        kWidth * 3, kWidth, -kHeight);
    benchmark::DoNotOptimize(rgb.data());
  }
}
BENCHMARK(BM_Floor_I420ToRGB24);

void BM_DrawDibDraw_MemoryAndGetBuffer(benchmark::State& state) {
  QWidget window;
  const HWND hwnd = pl::hwndOf(&window);
  const HDC dc = GetDC(hwnd);
  const HDC memory = CreateCompatibleDC(dc);
  HDRAWDIB hdd = DrawDibOpen();
  BITMAPINFOHEADER out{};
  for (auto _ : state) {
    DrawDibDraw(hdd, memory, 0, 0, kWidth, kHeight, &frame().header, frame().bits.data(), 0, 0, -1, -1, 0);
    void* buffer = DrawDibGetBuffer(hdd, &out, sizeof out, 0);
    if (buffer == nullptr) {
      state.SkipWithError("no decompressed buffer");
      break;
    }
    benchmark::DoNotOptimize(buffer);
  }
  DrawDibClose(hdd);
  DeleteDC(memory);
  ReleaseDC(hwnd, dc);
}
BENCHMARK(BM_DrawDibDraw_MemoryAndGetBuffer);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
