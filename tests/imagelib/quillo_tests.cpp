// The outside encoder on its own: what it accepts, quality limits, and that
// its output never passes the 1,328,800 bytes it is given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "bmp_headers.h"
#include "quillo/quillo.h"
#include "testkit/pictures.h"

namespace {

constexpr size_t kGuard = 4096;
constexpr uint8_t kGuardByte = 0xA5;

// An output buffer of exactly the capacity followed by guard bytes.
struct Output {
  Output() : bytes(kBufferCapacity + kGuard, 0) { std::memset(bytes.data() + kBufferCapacity, kGuardByte, kGuard); }
  bool guardIntact() const {
    return std::all_of(bytes.begin() + kBufferCapacity, bytes.end(), [](uint8_t b) { return b == kGuardByte; });
  }
  Bytes jpeg(int32_t length) const { return Bytes(bytes.begin(), bytes.begin() + length); }
  Bytes bytes;
};

int32_t encode(int quality, const Bytes& bmp, Output& out) {
  return Bmp_Jpg(quality, bmp.data(), static_cast<int32_t>(bmp.size()), out.bytes.data());
}

TEST(Quillo, QualityIsClampedToOneThroughHundred) {
  const Bytes bmp = noiseBmp24(96, 64, 11);
  Output one, zero, negative, hundred, above;
  const int32_t n1 = encode(1, bmp, one);
  const int32_t n100 = encode(100, bmp, hundred);
  ASSERT_GT(n1, 0);
  ASSERT_GT(n100, n1);
  ASSERT_EQ(encode(0, bmp, zero), n1);
  ASSERT_EQ(encode(-40, bmp, negative), n1);
  ASSERT_EQ(encode(1000, bmp, above), n100);
  EXPECT_EQ(zero.jpeg(n1), one.jpeg(n1));
  EXPECT_EQ(negative.jpeg(n1), one.jpeg(n1));
  EXPECT_EQ(above.jpeg(n100), hundred.jpeg(n100));
}

TEST(Quillo, BottomUpAndTopDownRowsWithPaddingComeOutUpright) {
  // Odd width: every row carries padding.
  Bytes bottomUp = quartersBmp24(37, 30);
  Bytes topDown = withHeaders(bottomUp, [](auto&, auto& info) { info.biHeight = -30; });
  const size_t stride = strideOf(37);
  for (int row = 0; row < 30; ++row)
    std::memcpy(topDown.data() + 54 + stride * row, bottomUp.data() + 54 + stride * (29 - row), stride);

  for (const Bytes* bmp : {&bottomUp, &topDown}) {
    Output out;
    const int32_t n = encode(95, *bmp, out);
    ASSERT_GT(n, 0);
    const auto decoded = decodeJpeg(out.bytes.data(), static_cast<size_t>(n));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 37);
    EXPECT_EQ(decoded->height, 30);
    EXPECT_TRUE(near(decoded->at(5, 5), kRed, 12));
    EXPECT_TRUE(near(decoded->at(31, 5), kGreen, 12));
    EXPECT_TRUE(near(decoded->at(5, 24), kBlue, 12));
    EXPECT_TRUE(near(decoded->at(31, 24), kYellow, 12));
  }
}

TEST(Quillo, ImagesItCannotEncodeGiveZero) {
  const Bytes good = noiseBmp24(32, 32, 12);
  Output out;
  EXPECT_EQ(Bmp_Jpg(50, nullptr, 100, out.bytes.data()), 0);
  EXPECT_EQ(Bmp_Jpg(50, good.data(), static_cast<int32_t>(good.size()), nullptr), 0);
  EXPECT_EQ(Bmp_Jpg(50, good.data(), 53, out.bytes.data()), 0);
  EXPECT_EQ(Bmp_Jpg(50, good.data(), static_cast<int32_t>(good.size()) - 1, out.bytes.data()), 0)
      << "one byte short of the pixels";
  EXPECT_EQ(Bmp_Jpg(50, good.data(), -1, out.bytes.data()), 0);
  EXPECT_EQ(encode(50, withHeaders(good, [](auto& f, auto&) { f.bfType = 0x4142; }), out), 0);
  EXPECT_EQ(encode(50, withHeaders(good, [](auto&, auto& i) { i.biBitCount = 32; }), out), 0);
  EXPECT_EQ(encode(50, withHeaders(good, [](auto&, auto& i) { i.biCompression = FOURCC_I420; }), out), 0);
  EXPECT_EQ(encode(50, withHeaders(good, [](auto&, auto& i) { i.biWidth = 0; }), out), 0);
  EXPECT_EQ(encode(50, withHeaders(good, [](auto&, auto& i) { i.biHeight = INT32_MIN; }), out), 0);
  EXPECT_EQ(encode(50, withHeaders(good, [](auto&, auto& i) { i.biWidth = 1 << 30; }), out), 0);
  EXPECT_TRUE(out.guardIntact());
}

TEST(Quillo, PixelsAreReadAtOffset54WhateverTheOffsetFieldSays) {
  const Bytes good = noiseBmp24(32, 32, 12);
  Output expected;
  const int32_t n = encode(50, good, expected);
  ASSERT_GT(n, 0);
  for (uint32_t offset : {0u, 1u << 20, 0xFFFFFFFFu}) {
    Output out;
    ASSERT_EQ(encode(50, withHeaders(good, [=](auto& f, auto&) { f.bfOffBits = offset; }), out), n) << offset;
    EXPECT_EQ(out.jpeg(n), expected.jpeg(n)) << offset;
  }
}

TEST(Quillo, OutputNeverPassesTheCapacity) {
  // Noise at quality 100: 640 x 480 fits; 1024 x 1024 cannot.
  Output fits;
  const int32_t n = encode(100, noiseBmp24(640, 480, 13), fits);
  EXPECT_GT(n, 0);
  EXPECT_LE(static_cast<size_t>(n), kBufferCapacity);
  EXPECT_TRUE(fits.guardIntact());

  Output overflow;
  EXPECT_EQ(encode(100, noiseBmp24(1024, 1024, 14), overflow), 0);
  EXPECT_TRUE(overflow.guardIntact());
}

}  // namespace
