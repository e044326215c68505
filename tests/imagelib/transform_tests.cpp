// Rotation, zoom and colour changes: what the operator sees, and byte for
// byte agreement with the plain formulas over every step.
#include "plenkit_fixture.h"
#include "reference_transforms.h"

namespace {

using TransformTest = PlenkitTest;

// Screen coordinates (top row 0) to stored rows.
Bgr onScreen(const Bytes& bmp, int x, int y) { return pixelAt(bmp, x, infoHeaderOf(bmp).biHeight - 1 - y); }

bool allWhite(const Bytes& bmp, int x0, int x1) {
  const int h = infoHeaderOf(bmp).biHeight;
  for (int row = 0; row < h; ++row)
    for (int x = x0; x < x1; ++x)
      if (!(pixelAt(bmp, x, row) == kWhite)) return false;
  return true;
}

TEST_F(TransformTest, NeutralAndOutOfRangeStepsKeepThePicture) {
  const Bytes bmp = noiseBmp24(641, 480, 20);  // padded rows
  for (const auto& [r, z] : {std::pair{18, 10}, {37, 10}, {500, 10}, {18, 0}, {18, 11}, {18, -3}})
    EXPECT_EQ(scaled(bmp, r, z), bmp) << "rotation " << r << " zoom " << z;
  EXPECT_EQ(coloured(bmp, 10, 10, 10, 10), bmp);
}

TEST_F(TransformTest, StepsZeroAndThirtySixBothTurnHalfway) {
  const Bytes bmp = quartersBmp24(640, 480);
  for (const int step : {0, 36}) {
    SCOPED_TRACE(step);
    const Bytes turned = scaled(bmp, step, 10);
    EXPECT_EQ(onScreen(turned, 160, 120), kYellow);
    EXPECT_EQ(onScreen(turned, 480, 120), kBlue);
    EXPECT_EQ(onScreen(turned, 160, 360), kGreen);
    EXPECT_EQ(onScreen(turned, 480, 360), kRed);
  }
}

TEST_F(TransformTest, AQuarterTurnLeavesWhiteBandsAndTurnsClockwise) {
  const Bytes bmp = quartersBmp24(640, 480);
  const Bytes turned = scaled(bmp, 27, 10);
  // Only the middle 480 columns receive the picture.
  EXPECT_TRUE(allWhite(turned, 0, 79));
  EXPECT_TRUE(allWhite(turned, 562, 640));
  EXPECT_FALSE(allWhite(turned, 81, 560));
  // Clockwise: the top left quarter comes to the top right.
  EXPECT_EQ(onScreen(turned, 400, 120), kRed);
  EXPECT_EQ(onScreen(turned, 400, 360), kGreen);
  EXPECT_EQ(onScreen(turned, 240, 120), kBlue);
  EXPECT_EQ(onScreen(turned, 240, 360), kYellow);
}

TEST_F(TransformTest, ZoomEnlargesTheCentre) {
  const Bytes bmp = noiseBmp24(640, 480, 21);
  // Step 1: the centre 64 x 48 (columns 288.., rows 216..) ten times over.
  const Bytes tenfold = scaled(bmp, 18, 1);
  for (const auto& [x, row] : {std::pair{0, 0}, {639, 479}, {123, 456}, {320, 240}})
    EXPECT_EQ(pixelAt(tenfold, x, row), pixelAt(bmp, 288 + x / 10, 216 + row / 10));
  // Step 5: the centre 320 x 240 twofold.
  const Bytes twofold = scaled(bmp, 18, 5);
  for (const auto& [x, row] : {std::pair{0, 0}, {639, 479}, {1, 1}, {333, 97}})
    EXPECT_EQ(pixelAt(twofold, x, row), pixelAt(bmp, 160 + x / 2, 120 + row / 2));
}

TEST_F(TransformTest, RotationAndZoomMatchTheFormulasAtEveryStep) {
  // Odd sizes (padding, odd centre) and the capture sizes.
  const Bytes odd = noiseBmp24(101, 77, 22);
  for (int r = -2; r <= 38; ++r)
    for (int z = 0; z <= 11; ++z)
      ASSERT_EQ(scaled(odd, r, z), referenceScalConv(odd, r, z)) << "rotation " << r << " zoom " << z;
  const Bytes tiny = noiseBmp24(7, 3, 23);  // crops of no pixels
  for (int z = 1; z <= 9; ++z) ASSERT_EQ(scaled(tiny, 21, z), referenceScalConv(tiny, 21, z)) << z;
  for (const auto& [w, h] : {std::pair{640, 480}, {320, 240}, {160, 120}}) {
    const Bytes bmp = noiseBmp24(w, h, 24);
    for (const auto& [r, z] : {std::pair{27, 5}, {0, 1}, {13, 9}, {19, 3}, {36, 7}, {1, 10}})
      ASSERT_EQ(scaled(bmp, r, z), referenceScalConv(bmp, r, z)) << w << "x" << h << " " << r << "/" << z;
  }
}

TEST_F(TransformTest, BrightnessBlendsTowardGreyOrScalesUp) {
  const Bytes bmp = noiseBmp24(64, 48, 25);
  const Bytes grey = coloured(bmp, 0, 10, 10, 10);
  for (int row = 0; row < 48; ++row) {
    for (int x = 0; x < 64; ++x) {
      const Bgr in = pixelAt(bmp, x, row);
      const auto mean = static_cast<uint8_t>((in.r + in.g + in.b) * 0.3333333333333333);
      ASSERT_EQ(pixelAt(grey, x, row), (Bgr{mean, mean, mean}));
    }
  }
  const Bytes levels = makeBmp24(4, 1, [](int x, int) {
    const uint8_t v[] = {128, 100, 0, 255};
    return Bgr{v[x], v[x], v[x]};
  });
  const Bytes doubled = coloured(levels, 20, 10, 10, 10);
  EXPECT_EQ(pixelAt(doubled, 0, 0), (Bgr{255, 255, 255}));
  EXPECT_EQ(pixelAt(doubled, 1, 0), (Bgr{200, 200, 200}));
  EXPECT_EQ(pixelAt(doubled, 2, 0), (Bgr{0, 0, 0}));
}

TEST_F(TransformTest, StepsBeyondTwentyOrNegativeActAsTwenty) {
  const Bytes bmp = noiseBmp24(40, 20, 26);
  const Bytes twenty = coloured(bmp, 10, 20, 10, 10);
  EXPECT_NE(twenty, bmp);
  EXPECT_EQ(coloured(bmp, 10, 25, 10, 10), twenty);
  EXPECT_EQ(coloured(bmp, 10, -1, 10, 10), twenty);
  EXPECT_EQ(coloured(bmp, -7, 10, 10, 10), coloured(bmp, 20, 10, 10, 10));
  EXPECT_EQ(coloured(bmp, 10, 10, 10, INT32_MIN), coloured(bmp, 10, 10, 10, 20));
}

TEST_F(TransformTest, ColourMatchesTheFormulasAtEveryStep) {
  const Bytes bmp = noiseBmp24(61, 40, 27);  // every byte value, padded rows
  for (int k = 0; k <= 20; ++k) {
    for (const auto& [r, g, b] : {std::tuple{10, 10, 10}, {0, 20, 5}, {13, 7, 19}, {20, 0, 11}})
      ASSERT_EQ(coloured(bmp, k, r, g, b), referenceColChange(bmp, k, r, g, b))
          << "k " << k << " rgb " << r << "," << g << "," << b;
  }
  for (int s = 0; s <= 20; ++s)
    ASSERT_EQ(coloured(bmp, 10, s, 20 - s, s / 2), referenceColChange(bmp, 10, s, 20 - s, s / 2)) << s;
}

TEST_F(TransformTest, TransformsNeedAnOpenImage) {
  ASSERT_EQ(open(noiseBmp24(8, 8, 28)), 0);
  api.BitMapClose();
  EXPECT_EQ(api.BmpScalConv(27, 5), 1);
  EXPECT_EQ(api.BmpColChange(15, 12, 8, 10), 1);
}

}  // namespace
