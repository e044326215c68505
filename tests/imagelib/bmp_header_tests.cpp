// The size a BMP header calls for, on its own: hostile dimensions must never
// come out small, whatever the checks behind it would catch.
#include <gtest/gtest.h>

#include <cstdint>

#include "bitmap/bmp_file.h"

namespace {

TEST(BmpHeaderSize, HostileDimensionsNeverWrapToASmallSize) {
  // 2^33-byte rows times 2^31 rows is exactly 2^64: zero in 64-bit arithmetic.
  BITMAPINFOHEADER h{};
  h.biSize = 40;
  h.biWidth = INT32_MIN;
  h.biHeight = INT32_MIN;
  h.biBitCount = 32;
  h.biCompression = BI_RGB;
  EXPECT_EQ(plenkit::impliedPixelBytes(h), UINT64_MAX);
  h.biBitCount = 0xFFFF;
  h.biWidth = INT32_MAX;
  EXPECT_EQ(plenkit::impliedPixelBytes(h), UINT64_MAX);
  h.biBitCount = 24;
  h.biWidth = h.biHeight = 640;
  EXPECT_EQ(plenkit::impliedPixelBytes(h), 640u * 640u * 3u);
}

}  // namespace
