// One 640 x 480 frame through the image library, stage by stage, each
// beside its floor measured in the same run:
//   BitMapOpen of an I420 frame      vs libyuv converting the frame alone
//   BmpScalConv(27, 5), BmpColChange vs one copy of the image
//   BmptoJpgConvert(50)              vs libjpeg-turbo on the same pixels
//   the whole road (open, rotate and zoom, colour, JPEG, JpgFileSend)
#include <benchmark/benchmark.h>
#include <libyuv/convert_argb.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "plenkit/plenkit.h"
#include "testkit/pictures.h"

namespace {

constexpr int kW = 640, kH = 480;
constexpr size_t kLuma = size_t{kW} * kH, kChroma = kLuma / 4;

std::string scratch(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/plenkit-bench-" + std::to_string(getpid()) +
         "-" + name;
}

// A camera-like frame: smooth gradients with fine texture, as the capture
// control stores it (file header, 40-byte info header, Y, U and V planes).
std::vector<uint8_t> i420File() {
  std::vector<uint8_t> file = bmpWithHeaders(kW, kH, 12, FOURCC_I420, kLuma + 2 * kChroma);
  uint8_t* y = file.data() + 54;
  uint32_t noise = 12345;
  for (int row = 0; row < kH; ++row) {
    for (int x = 0; x < kW; ++x) {
      noise = noise * 1103515245u + 12345u;
      y[row * kW + x] = static_cast<uint8_t>(40 + (x + row) / 7 + ((x / 40 + row / 40) % 2) * 30 + (noise >> 28));
    }
  }
  uint8_t* u = y + kLuma;
  uint8_t* v = u + kChroma;
  for (int row = 0; row < kH / 2; ++row) {
    for (int x = 0; x < kW / 2; ++x) {
      u[row * kW / 2 + x] = static_cast<uint8_t>(100 + x / 8);
      v[row * kW / 2 + x] = static_cast<uint8_t>(160 - row / 6);
    }
  }
  return file;
}

struct Fixture {
  Fixture() {
    frame = i420File();
    writeBytes(framePath, frame);
    // The 24-bit image the library makes of the frame, for the floors.
    BitMapOpen(0, framePath.c_str());
    BmpFileSend(imagePath.c_str());
    image = readBytes(imagePath);
  }
  ~Fixture() {
    std::remove(framePath.c_str());
    std::remove(imagePath.c_str());
    std::remove(jpegPath.c_str());
  }
  std::string framePath = scratch("frame.bmp");
  std::string imagePath = scratch("image.bmp");
  std::string jpegPath = scratch("cap0.jpg");
  std::vector<uint8_t> frame;
  std::vector<uint8_t> image;  // 921,654 bytes
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void openImage(benchmark::State& state) {
  if (BitMapOpen(0, fixture().imagePath.c_str()) != 0 || fixture().image.size() != 921654)
    state.SkipWithError("no 640 x 480 image");
}

void BM_OpenI420(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(BitMapOpen(0, fixture().framePath.c_str()));
}
BENCHMARK(BM_OpenI420);

void BM_Floor_LibyuvI420ToRgb24(benchmark::State& state) {
  const uint8_t* y = fixture().frame.data() + 54;
  std::vector<uint8_t> out(size_t{kW} * kH * 3);
  for (auto _ : state) {
    libyuv::I420ToRGB24(y, kW, y + kLuma, kW / 2, y + kLuma + kChroma, kW / 2, out.data(), kW * 3, kW, -kH);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Floor_LibyuvI420ToRgb24);

void BM_ScalConv_27_5(benchmark::State& state) {
  openImage(state);
  for (auto _ : state) benchmark::DoNotOptimize(BmpScalConv(27, 5));
}
BENCHMARK(BM_ScalConv_27_5);

// The two halves of it: rotation alone, zoom alone.
void BM_ScalConv_27_10(benchmark::State& state) {
  openImage(state);
  for (auto _ : state) benchmark::DoNotOptimize(BmpScalConv(27, 10));
}
BENCHMARK(BM_ScalConv_27_10);

void BM_ScalConv_18_5(benchmark::State& state) {
  openImage(state);
  for (auto _ : state) benchmark::DoNotOptimize(BmpScalConv(18, 5));
}
BENCHMARK(BM_ScalConv_18_5);

void BM_ColChange_15_12_8_10(benchmark::State& state) {
  openImage(state);
  for (auto _ : state) benchmark::DoNotOptimize(BmpColChange(15, 12, 8, 10));
}
BENCHMARK(BM_ColChange_15_12_8_10);

void BM_Floor_CopyImage(benchmark::State& state) {
  std::vector<uint8_t> target(fixture().image.size());
  for (auto _ : state) {
    std::memcpy(target.data(), fixture().image.data(), target.size());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Floor_CopyImage);

void BM_JpgConvert_50(benchmark::State& state) {
  openImage(state);
  for (auto _ : state) benchmark::DoNotOptimize(BmptoJpgConvert(50));
}
BENCHMARK(BM_JpgConvert_50);

void BM_Floor_TurboJpeg_50(benchmark::State& state) {
  tjhandle handle = tjInitCompress();
  std::vector<uint8_t> out(PLENKIT_BUFFER_SIZE);
  const uint8_t* pixels = fixture().image.data() + 54;
  for (auto _ : state) {
    unsigned char* dst = out.data();
    unsigned long size = out.size();
    tjCompress2(handle, pixels, kW, kW * 3, kH, TJPF_BGR, &dst, &size, TJSAMP_420, 50,
                TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC);
    benchmark::DoNotOptimize(size);
  }
  tjDestroy(handle);
}
BENCHMARK(BM_Floor_TurboJpeg_50);

// Publishing the JPEG file.
void BM_JpgFileSend(benchmark::State& state) {
  openImage(state);
  BmptoJpgConvert(50);
  for (auto _ : state) benchmark::DoNotOptimize(JpgFileSend(fixture().jpegPath.c_str()));
}
BENCHMARK(BM_JpgFileSend);

void BM_WholeRoad(benchmark::State& state) {
  const std::string& frame = fixture().framePath;
  const std::string& jpeg = fixture().jpegPath;
  for (auto _ : state) {
    BitMapOpen(0, frame.c_str());
    BmpScalConv(27, 5);
    BmpColChange(15, 12, 8, 10);
    BmptoJpgConvert(50);
    benchmark::DoNotOptimize(JpgFileSend(jpeg.c_str()));
  }
}
BENCHMARK(BM_WholeRoad);

}  // namespace

BENCHMARK_MAIN();
