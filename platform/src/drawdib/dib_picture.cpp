#include "drawdib/dib_picture.h"

#include <algorithm>

namespace pl::drawdib {

std::optional<DibPicture> describeDib(const BITMAPINFOHEADER* header, const void* bits) {
  if (header == nullptr || bits == nullptr || header->biSize < sizeof(BITMAPINFOHEADER)) return {};
  const LONG w = header->biWidth;
  const LONG h = header->biHeight;
  if (w <= 0 || w > kMaxSide || h == 0 || h < -kMaxSide || h > kMaxSide) return {};

  DibPicture pic;
  pic.width = w;
  pic.height = h < 0 ? -h : h;
  pic.bits = static_cast<const uint8_t*>(bits);
  int64_t needed = 0;

  switch (header->biCompression) {
    case BI_RGB: {
      if (header->biBitCount == 24) {
        pic.kind = DibKind::Bgr24;
      } else if (header->biBitCount == 32) {
        pic.kind = DibKind::Bgrx32;
      } else {
        return {};
      }
      pic.bottomUp = h > 0;
      pic.stride = ((w * header->biBitCount + 31) / 32) * 4;
      needed = int64_t{pic.stride} * pic.height;
      break;
    }
    case FOURCC_I420:
    case FOURCC_IYUV: {
      // 12 bits per pixel is the only layout of these codes; planar frames
      // are stored top row first whatever the sign of the height.
      if (header->biBitCount != 12) return {};
      pic.kind = DibKind::Planar420;
      pic.chromaWidth = (pic.width + 1) / 2;
      pic.chromaHeight = (pic.height + 1) / 2;
      const int64_t luma = int64_t{pic.width} * pic.height;
      const int64_t chroma = int64_t{pic.chromaWidth} * pic.chromaHeight;
      pic.y = pic.bits;
      pic.u = pic.y + luma;
      pic.v = pic.u + chroma;
      needed = luma + 2 * chroma;
      break;
    }
    default: return {};
  }
  if (header->biSizeImage != 0 && header->biSizeImage < needed) return {};
  return pic;
}

QRect clipSource(const DibPicture& pic, int x, int y, int dx, int dy) {
  // 64-bit arithmetic: the caller's numbers may be anything.
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(dx == -1 ? pic.width : int64_t{x} + dx, pic.width);
  const int64_t bottom = std::min<int64_t>(dy == -1 ? pic.height : int64_t{y} + dy, pic.height);
  if (right <= left || bottom <= top) return {};
  return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
               static_cast<int>(bottom - top));
}

}  // namespace pl::drawdib
