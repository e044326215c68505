// Capture formats: one capability of a capture pin, the DIB it delivers, its
// media type and 128-byte capability record, and the GStreamer caps that
// produce it.
#pragma once
#include <cstddef>
#include <string>

#include "camera/testing.h"

namespace pl::capture {

inline constexpr DWORD kFourccYuy2 = PL_FOURCC('Y', 'U', 'Y', '2');
inline constexpr DWORD kFourccMjpg = PL_FOURCC('M', 'J', 'P', 'G');

// One entry of a capture pin's capability list.
struct Capability {
  LONG width = 0;
  LONG height = 0;
  DWORD compression = BI_RGB;  // four-character code, BI_RGB for RGB
  WORD bitCount = 24;
  int framesPerSecond = 30;
  // What the source element is asked for; the pipeline converts from it to
  // this entry's format. Empty for virtual cameras (built from the fields).
  std::string sourceCaps;
  bool sourceIsJpeg = false;
};

enum class PixelLayout { Planar420, Packed, Compressed };

// How one frame of a format lies in memory as a DIB.
struct DibLayout {
  PixelLayout kind = PixelLayout::Packed;
  LONG width = 0;
  LONG height = 0;
  size_t rowBytes = 0;  // packed formats: rows padded to 4 bytes
  size_t size = 0;      // bytes of one frame (the upper bound for compressed ones)
};

DibLayout dibLayout(const Capability& cap);
BITMAPINFOHEADER bitmapHeader(const Capability& cap);

// The caps of the pipeline's output in this format, e.g.
// "video/x-raw,format=BGR,width=640,height=480".
std::string targetCaps(const Capability& cap);

// I420, IYUV and RGB frames go to the drawing engine as they are; others are
// converted to I420 for the live view.
bool drawable(const Capability& cap);
// The same size in I420, for drawing formats that are not drawable.
Capability planarOf(const Capability& cap);

// A media type describing `cap` (free with DeleteMediaType); nullptr when out
// of memory.
AM_MEDIA_TYPE* newMediaType(const Capability& cap);
void fillCapsRecord(const Capability& cap, VIDEO_STREAM_CONFIG_CAPS* record);
// True when `mt` describes exactly this capability (size, compression, bits).
bool describes(const AM_MEDIA_TYPE& mt, const Capability& cap);

// Accepted for virtual cameras: I420/IYUV (12 bits), YUY2 (16), RGB (24, 32),
// sizes 16..4096.
bool validVirtualCap(const CG_VCAM_CAP& cap);

}  // namespace pl::capture
