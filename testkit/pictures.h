// Test pictures as BMP file images and JPEG bytes, and files to put them in.
// No toolkit: also used by the test that runs without a GUI, the benchmarks
// and the fuzz seeds. Any thread.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/wintypes.h"

using Bytes = std::vector<uint8_t>;

struct Bgr {
  uint8_t b, g, r;
  bool operator==(const Bgr&) const = default;
};

inline constexpr size_t kBufferCapacity = 1328800;

// A file image of the two headers (54 bytes, as the station writes them) and
// `pixelBytes` zero bytes.
Bytes bmpWithHeaders(int width, int height, WORD bitCount, DWORD compression, size_t pixelBytes);
// 24-bit BI_RGB file image; `colour(x, row)` with row 0 the bottom row.
Bytes makeBmp24(int width, int height, const std::function<Bgr(int x, int row)>& colour);
// Every byte pseudo-random (padding included), so every value 0..255 occurs.
Bytes noiseBmp24(int width, int height, uint32_t seed);
// Four quarters as seen on screen: top left red, top right green, bottom
// left blue, bottom right yellow.
Bytes quartersBmp24(int width, int height);
inline constexpr Bgr kRed{0, 0, 255}, kGreen{0, 255, 0}, kBlue{255, 0, 0}, kYellow{0, 255, 255}, kWhite{255, 255, 255};

// A planar 4:2:0 frame as the capture control stores it: 12 bits per pixel,
// Y plane top row first, then U, then V (each uniform here).
Bytes makePlanarFrame(int width, int height, uint32_t fourcc, const std::function<uint8_t(int x, int y)>& luma,
                      uint8_t u, uint8_t v);

BITMAPFILEHEADER fileHeaderOf(const Bytes& bmp);
BITMAPINFOHEADER infoHeaderOf(const Bytes& bmp);
void setFileHeader(Bytes& bmp, const BITMAPFILEHEADER& header);
void setInfoHeader(Bytes& bmp, const BITMAPINFOHEADER& header);
size_t strideOf(int width);
Bgr pixelAt(const Bytes& bmp, int x, int row);

// Top-down B G R pixels as a 4:2:0 JPEG of `quality`; empty when it fails.
Bytes encodeJpeg(const Bytes& bgr, int width, int height, int quality);

struct DecodedJpeg {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // top row first, R G B
  Bgr at(int x, int y) const {
    const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
    return Bgr{p[2], p[1], p[0]};
  }
};
// JPEG bytes back to pixels; nullopt when they do not decode without a
// warning (truncated, corrupt).
std::optional<DecodedJpeg> decodeJpeg(const uint8_t* data, size_t size);
// Colours within `tolerance` per channel.
bool near(Bgr a, Bgr b, int tolerance);

void writeBytes(const std::string& path, const Bytes& bytes);
Bytes readBytes(const std::string& path);

// A fresh directory, removed with its files at the end of the test.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes `bytes` to a file of that name and returns its path.
  std::string put(const std::string& name, const Bytes& bytes) const;

 private:
  std::string path_;
};
