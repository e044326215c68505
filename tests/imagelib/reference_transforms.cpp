#include "reference_transforms.h"

#include <cmath>

namespace {

struct Shape {
  int w, h;
  size_t stride;
};

Shape shapeOf(const Bytes& bmp) {
  const BITMAPINFOHEADER info = infoHeaderOf(bmp);
  return {info.biWidth, info.biHeight, strideOf(info.biWidth)};
}

uint8_t* at(uint8_t* pixels, Shape s, int x, int y) { return pixels + s.stride * y + x * 3; }

void rotate(const uint8_t* src, uint8_t* dst, Shape s, int r) {
  if (r == 18 || r >= 37) {
    std::copy(src, src + s.stride * s.h, dst);
    return;
  }
  const double a = (r - 18) * 10;
  const double rad = a * 0.017453292522222223;
  const double c = std::cos(rad), sn = std::sin(rad);
  std::fill(dst, dst + s.stride * s.h, 0xFF);
  const int cx = s.w / 2, cy = s.h / 2;
  for (int y = 0; y < s.h; ++y) {
    for (int x = 0; x < s.w; ++x) {
      const int dx = x - cx, dy = y - cy;
      const int sx = cx + static_cast<int>(std::trunc(dx * c - dy * sn));
      const int sy = cy + static_cast<int>(std::trunc(dx * sn + dy * c));
      if (sx >= 0 && sx < s.w && sy >= 0 && sy < s.h) {
        const uint8_t* p = src + s.stride * sy + sx * 3;
        std::copy(p, p + 3, at(dst, s, x, y));
      }
    }
  }
}

void zoom(const uint8_t* src, uint8_t* dst, Shape s, int z) {
  if (z < 1 || z > 9) {
    std::copy(src, src + s.stride * s.h, dst);
    return;
  }
  const double cw = std::floor(z * s.w * 0.1), ch = std::floor(z * s.h * 0.1);
  const int x0 = s.w / 2 - static_cast<int>(std::floor(cw * 0.5));
  const int y0 = s.h / 2 - static_cast<int>(std::floor(ch * 0.5));
  const double fx = s.w / cw, fy = s.h / ch;
  for (int i = 0; i < s.h; ++i) {
    for (int j = 0; j < s.w; ++j) {
      const int row = static_cast<int>(std::floor(i / fy)) + y0;
      const int col = static_cast<int>(std::floor(j / fx)) + x0;
      const uint8_t* p = src + s.stride * row + col * 3;
      std::copy(p, p + 3, at(dst, s, j, i));
    }
  }
}

int scaleChannel(int v, int s) {
  if (s == 10) return v;
  if (s < 10) return static_cast<int>(std::trunc(v * (s * 0.1)));
  const int t = static_cast<int>(std::trunc(v * ((s - 10) * 0.1 + 1.0)));
  return t > 254 ? 255 : t;
}

}  // namespace

Bytes referenceScalConv(const Bytes& bmp, int rotation, int zoomStep) {
  const Shape s = shapeOf(bmp);
  Bytes work(bmp.size(), 0);
  Bytes out = bmp;
  rotate(bmp.data() + 54, work.data() + 54, s, rotation);
  zoom(work.data() + 54, out.data() + 54, s, zoomStep);
  return out;
}

Bytes referenceColChange(const Bytes& bmp, int k, int kr, int kg, int kb) {
  const Shape s = shapeOf(bmp);
  const int steps[3] = {kr, kg, kb};
  Bytes out = bmp;
  for (int y = 0; y < s.h; ++y) {
    for (int x = 0; x < s.w; ++x) {
      uint8_t* p = at(out.data() + 54, s, x, y);
      const double rgb[3] = {static_cast<double>(p[2]), static_cast<double>(p[1]), static_cast<double>(p[0])};
      const double m = (rgb[0] + rgb[1] + rgb[2]) * 0.3333333333333333;
      for (int i = 0; i < 3; ++i) {
        int v;
        if (k <= 10) {
          const double t = m - k * 0.1 * (m - rgb[i]);
          v = t < 0 ? 0 : static_cast<int>(std::trunc(t));
        } else {
          const double t = rgb[i] * ((k - 10) * 0.1 + 1.0);
          v = t > 254 ? 255 : static_cast<int>(std::trunc(t));
        }
        p[2 - i] = static_cast<uint8_t>(scaleChannel(v, steps[i]));
      }
    }
  }
  return out;
}
