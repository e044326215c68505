#include "formats.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace pl::capture {

namespace {

// {XXXXXXXX-0000-0010-8000-00AA00389B71}: the media subtype of a four-character code.
constexpr GUID fourccGuid(DWORD fourcc) {
  return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
constexpr GUID kMediaTypeVideo = fourccGuid(PL_FOURCC('v', 'i', 'd', 's'));
constexpr GUID kSubtypeRgb24 = {0xe436eb7d, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
constexpr GUID kSubtypeRgb32 = {0xe436eb7e, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
constexpr GUID kFormatVideoInfo = {0x05589f80, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};

bool sameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

bool isPlanar(DWORD compression) { return compression == FOURCC_I420 || compression == FOURCC_IYUV; }

int64_t frameInterval(const Capability& cap) { return 10'000'000 / std::max(1, cap.framesPerSecond); }

LONG bitsPerSecond(const Capability& cap) {
  const int64_t bits = static_cast<int64_t>(dibLayout(cap).size) * 8 * std::max(1, cap.framesPerSecond);
  return static_cast<LONG>(std::min<int64_t>(bits, INT32_MAX));
}

}  // namespace

DibLayout dibLayout(const Capability& cap) {
  DibLayout layout;
  layout.width = cap.width;
  layout.height = cap.height;
  const size_t w = static_cast<size_t>(cap.width);
  const size_t h = static_cast<size_t>(cap.height);
  if (isPlanar(cap.compression)) {
    layout.kind = PixelLayout::Planar420;
    layout.size = w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2);
  } else if (cap.compression == kFourccMjpg) {
    layout.kind = PixelLayout::Compressed;
    layout.size = w * h * 3;
  } else {
    layout.kind = PixelLayout::Packed;
    layout.rowBytes = (w * cap.bitCount + 31) / 32 * 4;
    layout.size = layout.rowBytes * h;
  }
  return layout;
}

BITMAPINFOHEADER bitmapHeader(const Capability& cap) {
  BITMAPINFOHEADER h{};
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = cap.width;
  h.biHeight = cap.height;
  h.biPlanes = 1;
  h.biBitCount = cap.bitCount;
  h.biCompression = cap.compression;
  h.biSizeImage = static_cast<DWORD>(dibLayout(cap).size);
  return h;
}

std::string targetCaps(const Capability& cap) {
  const std::string size = ",width=" + std::to_string(cap.width) + ",height=" + std::to_string(cap.height);
  if (cap.compression == kFourccMjpg) return "image/jpeg" + size;
  const char* format = "I420";
  if (cap.compression == kFourccYuy2)
    format = "YUY2";
  else if (cap.compression == BI_RGB)
    format = cap.bitCount == 32 ? "BGRx" : "BGR";
  return std::string("video/x-raw,format=") + format + size;
}

bool drawable(const Capability& cap) {
  return isPlanar(cap.compression) || (cap.compression == BI_RGB && (cap.bitCount == 24 || cap.bitCount == 32));
}

Capability planarOf(const Capability& cap) {
  Capability planar = cap;
  planar.compression = FOURCC_I420;
  planar.bitCount = 12;
  return planar;
}

AM_MEDIA_TYPE* newMediaType(const Capability& cap) {
  auto* mt = static_cast<AM_MEDIA_TYPE*>(std::calloc(1, sizeof(AM_MEDIA_TYPE)));
  auto* vih = static_cast<VIDEOINFOHEADER*>(std::calloc(1, sizeof(VIDEOINFOHEADER)));
  if (!mt || !vih) {
    std::free(mt);
    std::free(vih);
    return nullptr;
  }
  vih->rcSource = RECT{0, 0, cap.width, cap.height};
  vih->rcTarget = vih->rcSource;
  vih->dwBitRate = static_cast<DWORD>(bitsPerSecond(cap));
  vih->AvgTimePerFrame = frameInterval(cap);
  vih->bmiHeader = bitmapHeader(cap);

  mt->majortype = kMediaTypeVideo;
  if (cap.compression != BI_RGB)
    mt->subtype = fourccGuid(cap.compression);
  else
    mt->subtype = cap.bitCount == 32 ? kSubtypeRgb32 : kSubtypeRgb24;
  mt->bFixedSizeSamples = cap.compression == kFourccMjpg ? FALSE : TRUE;
  mt->bTemporalCompression = FALSE;
  mt->lSampleSize = vih->bmiHeader.biSizeImage;
  mt->formattype = kFormatVideoInfo;
  mt->cbFormat = sizeof(VIDEOINFOHEADER);
  mt->pbFormat = reinterpret_cast<BYTE*>(vih);
  return mt;
}

void fillCapsRecord(const Capability& cap, VIDEO_STREAM_CONFIG_CAPS* record) {
  *record = VIDEO_STREAM_CONFIG_CAPS{};
  const SIZE size{cap.width, cap.height};
  record->guid = kFormatVideoInfo;
  record->InputSize = size;
  record->MinCroppingSize = size;
  record->MaxCroppingSize = size;
  record->CropGranularityX = record->CropGranularityY = 1;
  record->CropAlignX = record->CropAlignY = 1;
  record->MinOutputSize = size;
  record->MaxOutputSize = size;
  record->OutputGranularityX = record->OutputGranularityY = 1;
  record->MinFrameInterval = record->MaxFrameInterval = frameInterval(cap);
  record->MinBitsPerSecond = record->MaxBitsPerSecond = bitsPerSecond(cap);
}

bool describes(const AM_MEDIA_TYPE& mt, const Capability& cap) {
  if (!sameGuid(mt.formattype, kFormatVideoInfo) || mt.cbFormat < sizeof(VIDEOINFOHEADER) || mt.pbFormat == nullptr)
    return false;
  VIDEOINFOHEADER vih;
  std::memcpy(&vih, mt.pbFormat, sizeof vih);
  const BITMAPINFOHEADER& h = vih.bmiHeader;
  return h.biWidth == cap.width && std::abs(static_cast<int64_t>(h.biHeight)) == cap.height &&
         h.biCompression == cap.compression && h.biBitCount == cap.bitCount;
}

bool validVirtualCap(const CG_VCAM_CAP& cap) {
  if (cap.width < 16 || cap.height < 16 || cap.width > 4096 || cap.height > 4096) return false;
  if (isPlanar(cap.compression)) return cap.bitCount == 12;
  if (cap.compression == kFourccYuy2) return cap.bitCount == 16 && cap.width % 2 == 0;
  if (cap.compression == BI_RGB) return cap.bitCount == 24 || cap.bitCount == 32;
  return false;
}

}  // namespace pl::capture
