// The drawing engine tests' fixture (a shown window, its device context, a
// memory context made from it and a drawing handle, released in reverse order)
// and their pictures, built as a camera or a BMP file would hand them over.
#pragma once
#include <gtest/gtest.h>
#include <libyuv/convert_argb.h>
#include <QColor>
#include <QWidget>

#include <algorithm>

#include "platform/drawdib.h"
#include "platform/qt_bridge.h"
#include "platform/window.h"
#include "testkit/pictures.h"

class DrawDibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.resize(153, 105);
    window.show();
    hwnd = pl::hwndOf(&window);
    windowDc = GetDC(hwnd);
    memoryDc = CreateCompatibleDC(windowDc);
    hdd = DrawDibOpen();
    ASSERT_NE(hwnd, 0u);
    ASSERT_NE(windowDc, 0u);
    ASSERT_NE(memoryDc, 0u);
    ASSERT_NE(hdd, nullptr);
  }
  void TearDown() override {
    DrawDibClose(hdd);
    DeleteDC(memoryDc);
    ReleaseDC(hwnd, windowDc);
  }

  QWidget window;
  HWND hwnd = 0;
  HDC windowDc = 0;
  HDC memoryDc = 0;
  HDRAWDIB hdd = nullptr;
};

// A picture as the engine is handed it: the info header and the pixels.
struct TestDib {
  BITMAPINFOHEADER header{};
  Bytes bits;
};
inline TestDib dibOf(const Bytes& bmp) { return {infoHeaderOf(bmp), Bytes(bmp.begin() + 54, bmp.end())}; }

inline int chroma(int n) { return (n + 1) / 2; }

// An RGB picture (24 or 32 bits) whose top half is `top` and bottom half
// `bottom` as displayed; stored bottom row first unless `topDown`.
inline TestDib twoColourRgb(int width, int height, int bitCount, QColor top, QColor bottom, bool topDown) {
  const int bpp = bitCount / 8;
  const size_t stride = static_cast<size_t>((width * bpp + 3) & ~3);
  TestDib dib = dibOf(bmpWithHeaders(width, topDown ? -height : height, static_cast<WORD>(bitCount), BI_RGB,
                                     stride * static_cast<size_t>(height)));
  std::fill(dib.bits.begin(), dib.bits.end(), 0xee);  // padding is junk on purpose
  for (int row = 0; row < height; ++row) {
    const QColor c = row < height / 2 ? top : bottom;
    uint8_t* p = dib.bits.data() + static_cast<size_t>(topDown ? row : height - 1 - row) * stride;
    for (int col = 0; col < width; ++col, p += bpp) {
      p[0] = static_cast<uint8_t>(c.blue());
      p[1] = static_cast<uint8_t>(c.green());
      p[2] = static_cast<uint8_t>(c.red());
      if (bpp == 4) p[3] = 0;
    }
  }
  return dib;
}

// A planar 4:2:0 frame with a varied pattern (gradients in all three planes).
inline TestDib patternPlanar(int width, int height, DWORD fourcc) {
  TestDib dib = dibOf(makePlanarFrame(
      width, height, fourcc, [](int x, int y) { return static_cast<uint8_t>((x * 7 + y * 3) & 0xff); }, 0, 0));
  const size_t luma = static_cast<size_t>(width) * height;
  const size_t c = static_cast<size_t>(chroma(width)) * chroma(height);
  for (size_t i = 0; i < c; ++i) {
    dib.bits[luma + i] = static_cast<uint8_t>((i * 5) & 0xff);
    dib.bits[luma + c + i] = static_cast<uint8_t>(255 - ((i * 11) & 0xff));
  }
  return dib;
}

// A planar frame of one colour given as Y, U, V.
inline TestDib uniformPlanar(int width, int height, uint8_t y, uint8_t u, uint8_t v) {
  return dibOf(makePlanarFrame(
      width, height, FOURCC_I420, [y](int, int) { return y; }, u, v));
}

// 24-bit bottom-up rows of `dib` (a planar frame) as libyuv converts them.
inline Bytes referenceRgb24(const TestDib& dib) {
  const int w = dib.header.biWidth;
  const int h = dib.header.biHeight;
  const int stride = (w * 3 + 3) & ~3;
  Bytes out(static_cast<size_t>(stride) * h, 0);
  const uint8_t* y = dib.bits.data();
  const uint8_t* u = y + static_cast<size_t>(w) * h;
  const uint8_t* v = u + static_cast<size_t>(chroma(w)) * chroma(h);
  libyuv::I420ToRGB24(y, w, u, chroma(w), v, chroma(w), out.data(), stride, w, -h);
  return out;
}

// The colour libyuv makes of one Y, U, V triple.
inline QColor referenceColour(uint8_t y, uint8_t u, uint8_t v) {
  uint8_t argb[16];
  const uint8_t ys[4] = {y, y, y, y};
  libyuv::I420ToARGB(ys, 2, &u, 1, &v, 1, argb, 8, 2, 2);
  return QColor(argb[2], argb[1], argb[0]);
}
