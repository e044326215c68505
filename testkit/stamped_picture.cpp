#include "testkit/stamped_picture.h"

#include "testkit/pictures.h"

#include <cstdio>

namespace stamped {
namespace {

constexpr int kWidth = 640, kHeight = 480, kBits = 16, kBlock = 32, kBand = 16;

// Top-down B G R rows.
std::vector<uint8_t> pixels(int id) {
  std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
  uint32_t noise = 0x9E3779B9u * static_cast<uint32_t>(id + 1);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = rgb.data() + (static_cast<size_t>(y) * kWidth + x) * 3;
      if (y < kBand) {
        const bool on = x < kBits * kBlock && ((id >> (x / kBlock)) & 1);
        p[0] = p[1] = p[2] = on ? 255 : 0;
      } else {
        noise = noise * 1664525u + 1013904223u;
        p[0] = static_cast<uint8_t>(noise >> 24);
        p[1] = static_cast<uint8_t>(noise >> 16);
        p[2] = static_cast<uint8_t>(x + y);
      }
    }
  return rgb;
}

int idOf(const uint8_t* topRow, size_t pixelStep) {
  int id = 0;
  for (int bit = 0; bit < kBits; ++bit) {
    const uint8_t* p = topRow + static_cast<size_t>(bit * kBlock + kBlock / 2) * pixelStep;
    if (p[1] > 128) id |= 1 << bit;
  }
  return id;
}

}  // namespace

Bytes bmp(int id) {
  const std::vector<uint8_t> bgr = pixels(id);
  return makeBmp24(kWidth, kHeight, [&](int x, int row) {
    const uint8_t* p = &bgr[(static_cast<size_t>(kHeight - 1 - row) * kWidth + static_cast<size_t>(x)) * 3];
    return Bgr{p[0], p[1], p[2]};
  });
}

Bytes jpeg(int id) { return encodeJpeg(pixels(id), kWidth, kHeight, 90); }

std::string slotText(int id) {
  char text[32];
  std::snprintf(text, sizeof text, "2026/01/01 %02d:%02d:%02d ", id / 3600 % 24, id / 60 % 60, id % 60);
  return text;
}

std::optional<int> idOfBmp(const Bytes& bytes) {
  if (!wholeBmp(bytes) || bytes.size() != 54 + kWidth * 3 * kHeight) return std::nullopt;
  return idOf(&bytes[54 + static_cast<size_t>(kWidth) * 3 * (kHeight - 1)], 3);  // top row is stored last
}

std::optional<int> idOfJpeg(const Bytes& bytes) {
  const std::optional<DecodedJpeg> d = decodeJpeg(bytes.data(), bytes.size());
  if (!d || d->width != kWidth || d->height != kHeight) return std::nullopt;
  return idOf(&d->rgb[static_cast<size_t>(kBand / 2) * kWidth * 3], 3);
}

bool wholeJpeg(const Bytes& bytes) { return decodeJpeg(bytes.data(), bytes.size()).has_value(); }

bool wholeBmp(const Bytes& bytes) {
  return bytes.size() >= 54 && bytes[0] == 'B' && bytes[1] == 'M' &&
         (bytes[2] | bytes[3] << 8 | bytes[4] << 16 | static_cast<uint32_t>(bytes[5]) << 24) == bytes.size();
}

std::optional<int> idOfText(const std::string& text) {
  int h, m, s;
  if (text.size() != 20 || std::sscanf(text.c_str(), "2026/01/01 %2d:%2d:%2d", &h, &m, &s) != 3) return std::nullopt;
  return h * 3600 + m * 60 + s;
}

}  // namespace stamped
