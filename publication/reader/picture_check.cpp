#include "selvane/publication/picture_check.h"

#include <turbojpeg.h>

#include <cstdint>
#include <cstring>
#include <memory>

namespace selvane::publication {

namespace {

constexpr qsizetype kFileHeaderSize = 14;
constexpr qsizetype kInfoHeaderSize = 40;
constexpr uint32_t kFourccI420 = 0x30323449;  // "I420"
constexpr uint32_t kFourccIyuv = 0x56555949;  // "IYUV"

uint32_t u32(QByteArrayView b, qsizetype at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, sizeof v);
  return v;
}
int32_t i32(QByteArrayView b, qsizetype at) { return static_cast<int32_t>(u32(b, at)); }
uint16_t u16(QByteArrayView b, qsizetype at) {
  uint16_t v;
  std::memcpy(&v, b.data() + at, sizeof v);
  return v;
}

// The header is decoded by libjpeg-turbo, so what passes is what a decoder
// accepts. One handle per thread (TurboJPEG handles are not shared), made
// anew after a failed call: libjpeg-turbo can leave a handle that met a
// damaged header refusing every later one, so a single hostile file would
// otherwise hide every unit's pictures from then on.
bool decodeHeader(const unsigned char* p, qsizetype n, int* w, int* h) {
  thread_local std::unique_ptr<void, int (*)(tjhandle)> handle(nullptr, tjDestroy);
  if (!handle) handle.reset(tjInitDecompress());
  if (!handle) return false;
  int subsamp = 0, colorspace = 0;
  if (tjDecompressHeader3(handle.get(), p, static_cast<unsigned long>(n), w, h, &subsamp, &colorspace) == 0) return true;
  handle.reset();
  return false;
}

// The segments before the first scan are well formed and the scan holds at
// least one byte before the end marker.
bool hasScanData(const unsigned char* p, qsizetype n) {
  qsizetype at = 2;
  while (at + 4 <= n - 2) {
    if (p[at] != 0xFF) return false;
    const unsigned char marker = p[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0xD9) return false;  // end of image before any scan
    const qsizetype length = (qsizetype(p[at + 2]) << 8) | p[at + 3];
    if (length < 2) return false;
    if (marker == 0xDA) return at + 2 + length < n - 2;
    at += 2 + length;
  }
  return false;
}

}  // namespace

bool isCompleteJpeg(QByteArrayView bytes, int* width, int* height) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const qsizetype n = bytes.size();
  if (n < 4 || p[0] != 0xFF || p[1] != 0xD8 || p[n - 2] != 0xFF || p[n - 1] != 0xD9) return false;
  int w = 0, h = 0;
  if (!decodeHeader(p, n, &w, &h)) return false;
  if (w <= 0 || h <= 0 || w > kMaxWidth || h > kMaxHeight || !hasScanData(p, n)) return false;
  if (width) *width = w;
  if (height) *height = h;
  return true;
}

std::optional<BmpInfo> inspectBmp(QByteArrayView bytes) {
  if (bytes.size() < kFileHeaderSize + kInfoHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  if (u32(bytes, 2) != static_cast<uint64_t>(bytes.size())) return std::nullopt;
  BmpInfo info;
  info.pixelOffset = u32(bytes, 10);
  if (info.pixelOffset < kFileHeaderSize + kInfoHeaderSize || info.pixelOffset > bytes.size()) return std::nullopt;
  if (u32(bytes, 14) < kInfoHeaderSize) return std::nullopt;
  const int32_t w = i32(bytes, 18);
  const int32_t h = i32(bytes, 22);
  info.bitCount = u16(bytes, 28);
  const uint32_t compression = u32(bytes, 30);
  if (w <= 0 || w > kMaxWidth || h == 0 || h < -kMaxHeight || h > kMaxHeight) return std::nullopt;
  info.width = w;
  info.height = h < 0 ? -h : h;
  info.topDown = h < 0;
  uint64_t needed = 0;
  if ((compression == kFourccI420 || compression == kFourccIyuv) && info.bitCount == 12) {
    // Planar frames are top-down whatever the sign of the height.
    info.planar = true;
    info.topDown = true;
    const uint64_t cw = (static_cast<uint64_t>(w) + 1) / 2, ch = (static_cast<uint64_t>(info.height) + 1) / 2;
    needed = static_cast<uint64_t>(w) * static_cast<uint64_t>(info.height) + 2 * cw * ch;
  } else if (compression == 0 && (info.bitCount == 24 || info.bitCount == 32)) {
    const uint64_t stride = (static_cast<uint64_t>(w) * static_cast<uint64_t>(info.bitCount) + 31) / 32 * 4;
    needed = stride * static_cast<uint64_t>(info.height);
  } else {
    return std::nullopt;
  }
  if (needed > static_cast<uint64_t>(bytes.size() - info.pixelOffset)) return std::nullopt;
  return info;
}

bool isCompletePicture(QByteArrayView bytes, bool jpeg, int* width, int* height) {
  if (jpeg) return isCompleteJpeg(bytes, width, height);
  const auto info = inspectBmp(bytes);
  if (!info) return false;
  if (width) *width = info->width;
  if (height) *height = info->height;
  return true;
}

}  // namespace selvane::publication
