#include "stamped_picture.h"

#include <turbojpeg.h>

#include <cstdio>
#include <cstring>

namespace stamped {
namespace {

constexpr int kWidth = 640, kHeight = 480, kBits = 16, kBlock = 32, kBand = 16;

// Top-down BGR rows.
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

void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

Bytes bmp(int id) {
  const std::vector<uint8_t> rgb = pixels(id);
  const size_t stride = kWidth * 3, size = 54 + stride * kHeight;
  Bytes out(size, 0);
  out[0] = 'B';
  out[1] = 'M';
  put32(&out[2], static_cast<uint32_t>(size));
  put32(&out[10], 54);
  put32(&out[14], 40);
  put32(&out[18], kWidth);
  put32(&out[22], kHeight);
  out[26] = 1;
  out[28] = 24;
  put32(&out[34], static_cast<uint32_t>(stride * kHeight));
  for (int y = 0; y < kHeight; ++y)  // bottom row first
    std::memcpy(&out[54 + stride * static_cast<size_t>(kHeight - 1 - y)], &rgb[stride * static_cast<size_t>(y)], stride);
  return out;
}

Bytes jpeg(int id) {
  const std::vector<uint8_t> rgb = pixels(id);
  tjhandle h = tjInitCompress();
  unsigned char* data = nullptr;
  unsigned long size = 0;
  Bytes out;
  if (tjCompress2(h, rgb.data(), kWidth, 0, kHeight, TJPF_BGR, &data, &size, TJSAMP_420, 90, 0) == 0)
    out.assign(data, data + size);
  tjFree(data);
  tjDestroy(h);
  return out;
}

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
  tjhandle h = tjInitDecompress();
  int width = 0, height = 0, sub = 0, space = 0;
  std::optional<int> id;
  if (tjDecompressHeader3(h, bytes.data(), bytes.size(), &width, &height, &sub, &space) == 0 && width == kWidth &&
      height == kHeight) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    // A truncated JPEG decodes "successfully" with a warning: not whole.
    if (tjDecompress2(h, bytes.data(), bytes.size(), rgb.data(), width, 0, height, TJPF_BGR, 0) == 0)
      id = idOf(&rgb[static_cast<size_t>(kBand / 2) * width * 3], 3);
  }
  tjDestroy(h);
  return id;
}

bool wholeJpeg(const Bytes& bytes) {
  tjhandle h = tjInitDecompress();
  int width = 0, height = 0, sub = 0, space = 0;
  bool whole = false;
  if (tjDecompressHeader3(h, bytes.data(), bytes.size(), &width, &height, &sub, &space) == 0) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    whole = tjDecompress2(h, bytes.data(), bytes.size(), rgb.data(), width, 0, height, TJPF_BGR, 0) == 0;
  }
  tjDestroy(h);
  return whole;
}

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
