// Matching a requested size and compression against a camera's capabilities.
#include "korvex/korvex.h"
#include "korvex_ctrl.h"

namespace korvex {

bool CKorvexCtrl::MatchFormat(LONG width, LONG height, DWORD compression) const {
  bool size = false;
  switch (sizeCode_) {
    case KORVEX_SIZE_640x480: size = width == 640 && height == 480; break;
    case KORVEX_SIZE_320x240: size = width == 320 && height == 240; break;
    case KORVEX_SIZE_160x124: size = width == 160 && height == smallHeight_; break;
    default: return false;
  }
  switch (compression_) {
    case KORVEX_COMP_IYUV: return size && compression == FOURCC_IYUV;
    case KORVEX_COMP_I420: return size && compression == FOURCC_I420;
    case KORVEX_COMP_RGB: return size && compression == BI_RGB;  // any bit count
    default: return false;
  }
}

namespace {
const BITMAPINFOHEADER* bitmapHeader(const AM_MEDIA_TYPE* mt) {
  if (!mt || !mt->pbFormat || mt->cbFormat < sizeof(VIDEOINFOHEADER)) return nullptr;
  return &reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat)->bmiHeader;
}
}  // namespace

// Size code 3 asks for 160 x 124; no real webcam offers it, so where the
// camera lacks it 160 x 120 is taken instead.
bool CKorvexCtrl::SelectFormat(CG_BUILDER* builder, CG_FILTER* source, BITMAPINFOHEADER* inForce) {
  CG_STREAMCONFIG* raw = nullptr;
  if (FAILED(cg_BuilderFindStreamConfig(builder, source, &raw))) return false;
  StreamConfigPtr config(raw);
  bool found = false;
  int count = 0, size = 0;
  if (SUCCEEDED(cg_StreamConfigGetNumberOfCapabilities(config.get(), &count, &size)) &&
      size == sizeof(VIDEO_STREAM_CONFIG_CAPS)) {
    found = setFirstMatch(config.get(), count);
    if (!found && sizeCode_ == KORVEX_SIZE_160x124) {
      smallHeight_ = 120;
      found = setFirstMatch(config.get(), count);
      smallHeight_ = 124;
    }
  }
  AM_MEDIA_TYPE* current = nullptr;
  if (SUCCEEDED(cg_StreamConfigGetFormat(config.get(), &current))) {
    MediaTypePtr type(current);
    if (const BITMAPINFOHEADER* h = bitmapHeader(type.get())) {
      heldWidth_ = h->biWidth;
      heldHeight_ = h->biHeight;
      heldCompression_ = h->biCompression;
      if (inForce) *inForce = *h;
    }
  }
  return found;
}

// Sets the first capability that matches as the format.
bool CKorvexCtrl::setFirstMatch(CG_STREAMCONFIG* config, int count) {
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps;
    if (FAILED(cg_StreamConfigGetStreamCaps(config, i, &mt, reinterpret_cast<BYTE*>(&caps)))) continue;
    MediaTypePtr type(mt);
    const BITMAPINFOHEADER* h = bitmapHeader(type.get());
    if (h && MatchFormat(h->biWidth, h->biHeight, h->biCompression))
      return SUCCEEDED(cg_StreamConfigSetFormat(config, type.get()));
  }
  return false;
}

}  // namespace korvex
