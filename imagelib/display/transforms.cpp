#include "display/transforms.h"

#include <array>
#include <cmath>
#include <cstring>

#include "bitmap/library.h"
#include "display/colour_tables.h"

namespace plenkit {
namespace {

constexpr uint8_t kWhite = 0xFF;

using Table = ChannelTable;

// One channel's gain: step 10 keeps the value, below scales down, above
// scales up with values beyond 254 becoming 255.
Table gainTable(int step) {
  Table table;
  for (int v = 0; v < 256; ++v) {
    if (step == 10) {
      table[v] = static_cast<uint8_t>(v);
    } else if (step < 10) {
      table[v] = static_cast<uint8_t>(v * (step * 0.1));
    } else {
      const int t = static_cast<int>(v * ((step - 10) * 0.1 + 1.0));
      table[v] = static_cast<uint8_t>(t > 254 ? 255 : t);
    }
  }
  return table;
}

// Moves one pixel as a 4-byte word: the fourth byte lands on the next
// pixel, which is written after it (callers move a row's last pixel with
// movePixel). Reads one byte past the pixel, inside the buffers' slack.
inline void movePixelWide(uint8_t* out, const uint8_t* in) {
  uint32_t word;
  std::memcpy(&word, in, sizeof word);
  std::memcpy(out, &word, sizeof word);
}
inline void movePixel(uint8_t* out, const uint8_t* in) {
  out[0] = in[0];
  out[1] = in[1];
  out[2] = in[2];
}
constexpr uint8_t kWhitePixel[4] = {kWhite, kWhite, kWhite, kWhite};

// Runs `per` over every pixel (blue, green, red bytes) of every row.
template <class PerPixel>
void forEachPixel(uint8_t* pixels, PictureShape shape, PerPixel per) {
  for (int y = 0; y < shape.height; ++y) {
    uint8_t* p = pixels + shape.stride * static_cast<size_t>(y);
    for (int x = 0; x < shape.width; ++x, p += 3) per(p);
  }
}

int clampTo(int v, int limit) { return v < 0 ? 0 : v >= limit ? limit - 1 : v; }

// What a rotated row needs to find its source pixels.
struct RowTerms {
  double cosine, sine;
  double rowSine, rowCosine;  // dy x sine, dy x cosine of the target row
  int cx, cy;
  int width, height, stride;
};

// Byte offset of the source pixel of target columns [left, right), or -1
// where it falls outside the picture: column cx + trunc(dx x cos - dy x sin),
// row cy + trunc(dx x sin + dy x cos).
[[gnu::always_inline]] inline void sourceOffsets(const RowTerms& t, int left, int right, int32_t* offsets) {
  for (int x = left; x < right; ++x) {
    const double dx = x - t.cx;
    const int sx = t.cx + static_cast<int>(dx * t.cosine - t.rowSine);
    const int sy = t.cy + static_cast<int>(dx * t.sine + t.rowCosine);
    // Both tests evaluated (no branch), so the loop vectorises.
    const int inside = static_cast<int>(static_cast<unsigned>(sx) < static_cast<unsigned>(t.width)) &
                       static_cast<int>(static_cast<unsigned>(sy) < static_cast<unsigned>(t.height));
    offsets[x] = inside != 0 ? sy * t.stride + sx * 3 : -1;
  }
}

// The same loop, vectorised four doubles wide where the processor can (the
// same IEEE products and truncations, no fused multiply-add).
#if defined(__x86_64__)
[[gnu::target("avx2")]]
#endif
void sourceOffsetsAvx2(const RowTerms& t, int left, int right, int32_t* offsets) {
  sourceOffsets(t, left, right, offsets);
}

}  // namespace

ZoomPlan::ZoomPlan(PictureShape shape, int32_t step) : shape_(shape), keeps_(zoomKeepsPicture(step)) {
  if (keeps_) return;
  const double cropWidth = std::floor(static_cast<double>(step * shape.width) * 0.1);
  const double cropHeight = std::floor(static_cast<double>(step * shape.height) * 0.1);
  x0_ = shape.width / 2 - static_cast<int>(std::floor(cropWidth * 0.5));
  y0_ = shape.height / 2 - static_cast<int>(std::floor(cropHeight * 0.5));
  // A crop of no pixels (pictures under ten pixels) has an infinite factor:
  // every target pixel then takes the crop origin.
  fx_ = cropWidth > 0 ? shape.width / cropWidth : 0;
  fy_ = cropHeight > 0 ? shape.height / cropHeight : 0;
}

int ZoomPlan::column(int j) const {
  return clampTo((fx_ > 0 ? static_cast<int>(std::floor(j / fx_)) : 0) + x0_, shape_.width);
}

int ZoomPlan::row(int i) const {
  return clampTo((fy_ > 0 ? static_cast<int>(std::floor(i / fy_)) : 0) + y0_, shape_.height);
}

Region ZoomPlan::region() const {
  if (keeps_) return {0, shape_.width, 0, shape_.height};
  // Columns and rows grow with the target position.
  return {column(0), column(shape_.width - 1) + 1, row(0), row(shape_.height - 1) + 1};
}

void rotatePicture(const uint8_t* source, uint8_t* target, PictureShape shape, int32_t step, Region region,
                   int32_t* scratch) {
  const int width = shape.width;
  const int height = shape.height;
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  const bool whole = region.left == 0 && region.right == width && region.first == 0 && region.last == height;
  if (rotationKeepsPicture(step)) {
    if (whole) {
      std::memcpy(target, source, shape.stride * static_cast<size_t>(height));
      return;
    }
    const size_t offset = static_cast<size_t>(region.left) * 3;
    for (int y = region.first; y < region.last; ++y)
      std::memcpy(target + shape.stride * y + offset, source + shape.stride * y + offset,
                  static_cast<size_t>(region.right - region.left) * 3);
    return;
  }
  const double degrees = static_cast<double>((int64_t{step} - 18) * 10);
  const double radians = degrees * 0.017453292522222223;
  const double cosine = std::cos(radians);
  const double sine = std::sin(radians);
  const int cx = width / 2;
  const int cy = height / 2;
  const int stride = static_cast<int>(shape.stride);

  // Each target row maps to its source pixels in two passes: the offsets
  // (the same products and truncations as the per-pixel formula, with the
  // row's terms computed once; this pass vectorises), then the copy.
#if defined(__x86_64__)
  static const bool wide = __builtin_cpu_supports("avx2");
#else
  constexpr bool wide = false;
#endif
  for (int y = region.first; y < region.last; ++y) {
    const double dy = y - cy;
    const RowTerms terms{cosine, sine, dy * sine, dy * cosine, cx, cy, width, height, stride};
    if (wide) {
      sourceOffsetsAvx2(terms, region.left, region.right, scratch);
    } else {
      sourceOffsets(terms, region.left, region.right, scratch);
    }
    uint8_t* row = target + shape.stride * static_cast<size_t>(y);
    const auto from = [&](int x) { return scratch[x] >= 0 ? source + scratch[x] : kWhitePixel; };
    const int last = region.right - 1;
    for (int x = region.left; x < last; ++x) movePixelWide(row + x * 3, from(x));
    movePixel(row + last * 3, from(last));
    std::memset(row + rowBytes, kWhite, shape.stride - rowBytes);
  }
}

void zoomPicture(const uint8_t* source, uint8_t* target, PictureShape shape, const ZoomPlan& plan, int32_t* scratch) {
  const int width = shape.width;
  const int height = shape.height;
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  if (plan.keeps()) {
    std::memcpy(target, source, shape.stride * static_cast<size_t>(height));
    return;
  }
  // Source byte offset of every target column, once per call.
  for (int j = 0; j < width; ++j) scratch[j] = plan.column(j) * 3;
  int previousRow = -1;
  const uint8_t* previousOut = nullptr;
  for (int i = 0; i < height; ++i) {
    const int row = plan.row(i);
    uint8_t* out = target + shape.stride * static_cast<size_t>(i);
    if (row == previousRow) {
      // Enlarged rows repeat: copy the finished row.
      std::memcpy(out, previousOut, rowBytes);
    } else {
      const uint8_t* in = source + shape.stride * static_cast<size_t>(row);
      for (int j = 0; j < width - 1; ++j) movePixelWide(out + j * 3, in + scratch[j]);
      movePixel(out + (width - 1) * 3, in + scratch[width - 1]);
    }
    previousRow = row;
    previousOut = out;
  }
}

void adjustColour(uint8_t* pixels, PictureShape shape, int brightness, int red, int green, int blue) {
  const Table gainBlue = gainTable(blue);
  const Table gainGreen = gainTable(green);
  const Table gainRed = gainTable(red);

  if (brightness >= 10) {
    // Each channel depends on its own value only: one table per channel.
    // Brightness 10 multiplies by exactly 1.0 and keeps every value.
    if (brightness == 10 && red == 10 && green == 10 && blue == 10) return;
    Table bright;
    const double factor = (brightness - 10) * 0.1 + 1.0;
    for (int v = 0; v < 256; ++v) {
      // The product itself is compared: 254.5 already becomes 255.
      const double t = v * factor;
      bright[v] = brightness == 10 ? static_cast<uint8_t>(v) : t > 254 ? 255 : static_cast<uint8_t>(t);
    }
    ChannelTables tables;
    for (int v = 0; v < 256; ++v) {
      tables[0][v] = gainBlue[bright[v]];
      tables[1][v] = gainGreen[bright[v]];
      tables[2][v] = gainRed[bright[v]];
    }
    applyChannelTables(pixels, shape, tables);
    return;
  }

  // Below 10 the colours blend toward the pixel's mean.
  const double factor = brightness * 0.1;
  std::array<double, 766> means;
  for (int sum = 0; sum < 766; ++sum) means[sum] = sum * 0.3333333333333333;
  const auto blend = [factor](double mean, uint8_t c) -> uint8_t {
    const double v = mean - factor * (mean - c);
    return v < 0 ? 0 : static_cast<uint8_t>(v);
  };
  forEachPixel(pixels, shape, [&](uint8_t* p) {
    const double mean = means[p[0] + p[1] + p[2]];
    const uint8_t b = blend(mean, p[0]);
    const uint8_t g = blend(mean, p[1]);
    const uint8_t r = blend(mean, p[2]);
    p[0] = gainBlue[b];
    p[1] = gainGreen[g];
    p[2] = gainRed[r];
  });
}

}  // namespace plenkit
