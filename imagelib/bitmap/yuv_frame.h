// Conversion of a planar YUV 4:2:0 frame ("I420"/"IYUV") to a 24-bit image,
// through the drawing engine's decompressor.
#pragma once
#include <cstddef>
#include <cstdint>

#include "bitmap/library.h"

namespace plenkit {

// Draws the frame (header `frame`, `pixelBytes` bytes at `pixels`) 1:1 into a
// memory context compatible with `window` (any window, or none) and copies
// the decompressed picture to `target`: a fresh 24-bit info header at offset
// 14 and the rows at offset 54. The file header is left to the caller.
// Returns the pixel-data size, or 0 when the frame's header and data do not
// agree, the result would not fit a buffer, or the engine hands back no
// picture in a layout this library reads.
uint32_t convertYuvFrame(Library& library, HWND window, const BITMAPINFOHEADER& frame, const uint8_t* pixels,
                         size_t pixelBytes, uint8_t* target);

}  // namespace plenkit
