#include "drawdib/dib_convert.h"

#include <libyuv/convert_argb.h>
#include <libyuv/convert_from_argb.h>

#include <QtGlobal>

// libyuv's ARGB is B, G, R, A in memory, which is QImage::Format_RGB32 only
// on little-endian machines.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "ARGB and Format_RGB32 share a layout here");

namespace pl::drawdib {
namespace {

QImage targetImage(QImage reuse, int width, int height) {
  if (reuse.isDetached() && reuse.width() == width && reuse.height() == height &&
      reuse.format() == QImage::Format_RGB32)
    return reuse;
  return QImage(width, height, QImage::Format_RGB32);
}

void sizeBuffer(std::vector<uint8_t>& out, size_t size) {
  // A fresh zero fill only when the size changes: the converters never touch
  // the row padding, so it stays zero.
  if (out.size() != size) out.assign(size, 0);
}

}  // namespace

QImage rgbToImage(const DibPicture& pic, const QRect& area, QImage reuse) {
  QImage image = targetImage(std::move(reuse), area.width(), area.height());
  if (image.isNull()) return image;
  uint8_t* dst = image.bits();
  const int dstStride = static_cast<int>(image.bytesPerLine());
  const int bytesPerPixel = pic.kind == DibKind::Bgr24 ? 3 : 4;
  // Walk the area top row first; for bottom-up storage that is a negative
  // source stride starting from the area's highest stored row.
  const uint8_t* src = pic.rgbRow(area.top()) + area.left() * bytesPerPixel;
  const int srcStride = pic.bottomUp ? -pic.stride : pic.stride;
  if (pic.kind == DibKind::Bgr24) {
    libyuv::RGB24ToARGB(src, srcStride, dst, dstStride, area.width(), area.height());
  } else {
    // The fourth byte of a 32-bit DIB is unused and may hold anything;
    // Format_RGB32 needs it at 0xff.
    for (int row = 0; row < area.height(); ++row) {
      const auto* s = reinterpret_cast<const uint32_t*>(src + std::ptrdiff_t{row} * srcStride);
      auto* d = reinterpret_cast<uint32_t*>(dst + std::ptrdiff_t{row} * dstStride);
      for (int col = 0; col < area.width(); ++col) d[col] = s[col] | 0xff000000u;
    }
  }
  return image;
}

QImage planarToImage(const DibPicture& pic, QImage reuse) {
  QImage image = targetImage(std::move(reuse), pic.width, pic.height);
  if (image.isNull()) return image;
  libyuv::I420ToARGB(pic.y, pic.width, pic.u, pic.chromaWidth, pic.v, pic.chromaWidth, image.bits(),
                     static_cast<int>(image.bytesPerLine()), pic.width, pic.height);
  return image;
}

void planarToRgb24(const DibPicture& pic, std::vector<uint8_t>& out) {
  const int stride = rgb24Stride(pic.width);
  sizeBuffer(out, static_cast<size_t>(stride) * pic.height);
  // A negative height makes libyuv write the rows bottom row first.
  libyuv::I420ToRGB24(pic.y, pic.width, pic.u, pic.chromaWidth, pic.v, pic.chromaWidth, out.data(), stride, pic.width,
                      -pic.height);
}

void imageToRgb24(const QImage& image, std::vector<uint8_t>& out) {
  const int stride = rgb24Stride(image.width());
  sizeBuffer(out, static_cast<size_t>(stride) * image.height());
  libyuv::ARGBToRGB24(image.constBits(), static_cast<int>(image.bytesPerLine()), out.data(), stride, image.width(),
                      -image.height());
}

}  // namespace pl::drawdib
