#include "frame_layout.h"

#include <algorithm>
#include <cstring>

namespace pl::capture {

namespace {

GstVideoFormat videoFormat(const Capability& cap) {
  if (cap.compression == kFourccYuy2) return GST_VIDEO_FORMAT_YUY2;
  if (cap.compression == BI_RGB) return cap.bitCount == 32 ? GST_VIDEO_FORMAT_BGRx : GST_VIDEO_FORMAT_BGR;
  return GST_VIDEO_FORMAT_I420;
}

void copyPlane(BYTE* dst, size_t dstStride, const guint8* src, int srcStride, size_t rowBytes, int rows) {
  for (int r = 0; r < rows; ++r)
    std::memcpy(dst + static_cast<size_t>(r) * dstStride, src + static_cast<ptrdiff_t>(r) * srcStride, rowBytes);
}

}  // namespace

DibReader::DibReader(const Capability& cap) : layout_(dibLayout(cap)) {
  if (layout_.kind == PixelLayout::Compressed) return;
  gst_video_info_set_format(&info_, videoFormat(cap), static_cast<guint>(cap.width), static_cast<guint>(cap.height));
  scratch_.assign(layout_.size, 0);
}

DibReader::~DibReader() { unmap(); }

const BYTE* DibReader::map(GstBuffer* buffer, size_t* length) {
  unmap();
  if (layout_.kind == PixelLayout::Compressed) {
    if (!gst_buffer_map(buffer, &bytes_, GST_MAP_READ)) return nullptr;
    mappedBuffer_ = buffer;
    *length = bytes_.size;
    return bytes_.data;
  }
  if (!gst_video_frame_map(&frame_, &info_, buffer, GST_MAP_READ)) return nullptr;
  frameMapped_ = true;
  *length = layout_.size;
  return layout_.kind == PixelLayout::Planar420 ? packPlanar() : packRows();
}

void DibReader::unmap() {
  if (frameMapped_) gst_video_frame_unmap(&frame_);
  frameMapped_ = false;
  if (mappedBuffer_) gst_buffer_unmap(mappedBuffer_, &bytes_);
  mappedBuffer_ = nullptr;
}

const BYTE* DibReader::packPlanar() {
  const int w = layout_.width, h = layout_.height;
  const int cw = (w + 1) / 2, ch = (h + 1) / 2;
  const auto* y = static_cast<const BYTE*>(GST_VIDEO_FRAME_PLANE_DATA(&frame_, 0));
  const auto* u = static_cast<const BYTE*>(GST_VIDEO_FRAME_PLANE_DATA(&frame_, 1));
  const auto* v = static_cast<const BYTE*>(GST_VIDEO_FRAME_PLANE_DATA(&frame_, 2));
  const int ys = GST_VIDEO_FRAME_PLANE_STRIDE(&frame_, 0);
  const int us = GST_VIDEO_FRAME_PLANE_STRIDE(&frame_, 1);
  const int vs = GST_VIDEO_FRAME_PLANE_STRIDE(&frame_, 2);
  const size_t ySize = static_cast<size_t>(w) * h, cSize = static_cast<size_t>(cw) * ch;
  if (ys == w && us == cw && vs == cw && u == y + ySize && v == u + cSize) return y;
  BYTE* out = scratch_.data();
  copyPlane(out, w, y, ys, w, h);
  copyPlane(out + ySize, cw, u, us, cw, ch);
  copyPlane(out + ySize + cSize, cw, v, vs, cw, ch);
  return out;
}

const BYTE* DibReader::packRows() {
  const auto* src = static_cast<const BYTE*>(GST_VIDEO_FRAME_PLANE_DATA(&frame_, 0));
  const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame_, 0);
  if (stride > 0 && static_cast<size_t>(stride) == layout_.rowBytes) return src;
  const size_t pixelBytes = static_cast<size_t>(GST_VIDEO_FRAME_COMP_PSTRIDE(&frame_, 0)) * layout_.width;
  copyPlane(scratch_.data(), layout_.rowBytes, src, stride, std::min(pixelBytes, layout_.rowBytes), layout_.height);
  return scratch_.data();
}

}  // namespace pl::capture
