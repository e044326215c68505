#include "drawdib_test_pictures.h"

#include <libyuv/convert_argb.h>

namespace {

BITMAPINFOHEADER baseHeader(int width, int height, int bitCount, DWORD compression) {
  BITMAPINFOHEADER h{};
  h.biSize = sizeof h;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(bitCount);
  h.biCompression = compression;
  return h;
}

int chroma(int n) { return (n + 1) / 2; }

}  // namespace

TestDib twoColourRgb(int width, int height, int bitCount, QColor top, QColor bottom, bool topDown, uint8_t filler) {
  TestDib dib;
  dib.header = baseHeader(width, topDown ? -height : height, bitCount, BI_RGB);
  const int bpp = bitCount / 8;
  const int stride = (width * bpp + 3) & ~3;
  dib.bits.assign(static_cast<size_t>(stride) * height, 0xee);  // padding is junk on purpose
  for (int row = 0; row < height; ++row) {
    const QColor c = row < height / 2 ? top : bottom;
    const int stored = topDown ? row : height - 1 - row;
    uint8_t* p = dib.bits.data() + static_cast<size_t>(stored) * stride;
    for (int col = 0; col < width; ++col, p += bpp) {
      p[0] = static_cast<uint8_t>(c.blue());
      p[1] = static_cast<uint8_t>(c.green());
      p[2] = static_cast<uint8_t>(c.red());
      if (bpp == 4) p[3] = filler;
    }
  }
  dib.header.biSizeImage = static_cast<DWORD>(dib.bits.size());
  return dib;
}

TestDib patternPlanar(int width, int height, DWORD fourcc) {
  TestDib dib;
  dib.header = baseHeader(width, height, 12, fourcc);
  const size_t luma = static_cast<size_t>(width) * height;
  const size_t c = static_cast<size_t>(chroma(width)) * chroma(height);
  dib.bits.resize(luma + 2 * c);
  for (int r = 0; r < height; ++r)
    for (int x = 0; x < width; ++x) dib.bits[r * size_t(width) + x] = uint8_t((x * 7 + r * 3) & 0xff);
  for (size_t i = 0; i < c; ++i) {
    dib.bits[luma + i] = uint8_t((i * 5) & 0xff);
    dib.bits[luma + c + i] = uint8_t(255 - ((i * 11) & 0xff));
  }
  dib.header.biSizeImage = static_cast<DWORD>(dib.bits.size());
  return dib;
}

TestDib uniformPlanar(int width, int height, uint8_t y, uint8_t u, uint8_t v) {
  TestDib dib;
  dib.header = baseHeader(width, height, 12, FOURCC_I420);
  const size_t luma = static_cast<size_t>(width) * height;
  const size_t c = static_cast<size_t>(chroma(width)) * chroma(height);
  dib.bits.assign(luma, y);
  dib.bits.insert(dib.bits.end(), c, u);
  dib.bits.insert(dib.bits.end(), c, v);
  dib.header.biSizeImage = static_cast<DWORD>(dib.bits.size());
  return dib;
}

std::vector<uint8_t> referenceRgb24(const TestDib& dib) {
  const int w = dib.header.biWidth;
  const int h = dib.header.biHeight;
  const int stride = (w * 3 + 3) & ~3;
  std::vector<uint8_t> out(static_cast<size_t>(stride) * h, 0);
  const uint8_t* y = dib.bits.data();
  const uint8_t* u = y + static_cast<size_t>(w) * h;
  const uint8_t* v = u + static_cast<size_t>(chroma(w)) * chroma(h);
  libyuv::I420ToRGB24(y, w, u, chroma(w), v, chroma(w), out.data(), stride, w, -h);
  return out;
}

QColor referenceColour(uint8_t y, uint8_t u, uint8_t v) {
  uint8_t argb[16];
  const uint8_t ys[4] = {y, y, y, y};
  libyuv::I420ToARGB(ys, 2, &u, 1, &v, 1, argb, 8, 2, 2);
  return QColor(argb[2], argb[1], argb[0]);
}
