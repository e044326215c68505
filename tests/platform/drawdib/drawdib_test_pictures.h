// Pictures for the drawing engine tests, built as a camera or a BMP file
// would hand them over.
#pragma once
#include <QColor>
#include <cstdint>
#include <vector>

#include "platform/wintypes.h"

struct TestDib {
  BITMAPINFOHEADER header{};
  std::vector<uint8_t> bits;
};

// An RGB picture (24 or 32 bits) whose top half is `top` and bottom half
// `bottom` as displayed; stored bottom row first unless `topDown`. The unused
// byte of 32-bit pixels holds `filler`.
TestDib twoColourRgb(int width, int height, int bitCount, QColor top, QColor bottom, bool topDown, uint8_t filler = 0);

// A planar 4:2:0 frame with a varied pattern (gradients in all three planes).
TestDib patternPlanar(int width, int height, DWORD fourcc);

// A planar frame of one colour given as Y, U, V.
TestDib uniformPlanar(int width, int height, uint8_t y, uint8_t u, uint8_t v);

// 24-bit bottom-up rows of `dib` (a planar frame) as libyuv converts them.
std::vector<uint8_t> referenceRgb24(const TestDib& dib);

// The colour libyuv makes of one Y, U, V triple.
QColor referenceColour(uint8_t y, uint8_t u, uint8_t v);
