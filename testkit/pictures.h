// Test pictures as BMP file images, and files to put them in. No toolkit:
// also used by the test that runs without a GUI.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/wintypes.h"

using Bytes = std::vector<uint8_t>;

struct Bgr {
  uint8_t b, g, r;
  bool operator==(const Bgr&) const = default;
};

inline constexpr size_t kBufferCapacity = 1328800;

// 24-bit BI_RGB file image; `colour(x, row)` with row 0 the bottom row.
Bytes makeBmp24(int width, int height, const std::function<Bgr(int x, int row)>& colour);
// Every byte pseudo-random (padding included), so every value 0..255 occurs.
Bytes noiseBmp24(int width, int height, uint32_t seed);
// Four quarters as seen on screen: top left red, top right green, bottom
// left blue, bottom right yellow.
Bytes quartersBmp24(int width, int height);
inline constexpr Bgr kRed{0, 0, 255}, kGreen{0, 255, 0}, kBlue{255, 0, 0}, kYellow{0, 255, 255},
    kWhite{255, 255, 255};

// A planar 4:2:0 frame as the capture control stores it: 12 bits per pixel,
// Y plane top row first, then U, then V (each uniform here).
Bytes makePlanarFrame(int width, int height, uint32_t fourcc,
                      const std::function<uint8_t(int x, int y)>& luma, uint8_t u, uint8_t v);

BITMAPFILEHEADER fileHeaderOf(const Bytes& bmp);
BITMAPINFOHEADER infoHeaderOf(const Bytes& bmp);
void setFileHeader(Bytes& bmp, const BITMAPFILEHEADER& header);
void setInfoHeader(Bytes& bmp, const BITMAPINFOHEADER& header);
size_t strideOf(int width);
Bgr pixelAt(const Bytes& bmp, int x, int row);

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
