// BMP file images in the library's buffers: reading a file into a buffer,
// writing bytes to a file, and checks that a header agrees with its buffer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/wintypes.h"

namespace plenkit {

// The info header at offset 14 of a buffer (read unaligned).
BITMAPINFOHEADER infoHeaderOf(const uint8_t* image);
void storeInfoHeader(uint8_t* image, const BITMAPINFOHEADER& header);
// "BM", file size = pixel bytes + 54, reserved 0, pixel offset 54.
void storeFileHeader(uint8_t* image, uint32_t pixelBytes);

// Padded length of a row of `width` pixels of `bitCount` bits.
uint64_t rowLength(int64_t width, unsigned bitCount);

// Pixel bytes the header's width, height and format call for (UINT64_MAX
// when that passes 64 bits); nullopt for a format whose size cannot be told
// from the header.
std::optional<uint64_t> impliedPixelBytes(const BITMAPINFOHEADER& header);

// Reads a BMP file into `target` (file header at 0, info header at 14, pixel
// data at 54) and copies the info header to `header`. Returns the pixel-data
// size, or 0 when the file is missing, not a regular file, not a BMP, shorter
// than its size field says, or larger than a buffer holds by its size field
// or its dimensions.
int32_t readBmpFile(const char* path, BITMAPINFOHEADER* header, uint8_t* target);

// Creates or truncates `path` and writes `size` bytes. Returns the bytes
// written (fewer when the disk or a limit stops the write; errno then says
// why), 0 when the file cannot be created, is not a regular file, or cannot
// be cut to the length written.
int32_t writeWholeFile(const char* path, const uint8_t* data, size_t size);

// A 24-bit BI_RGB picture, bottom row first, whose header agrees with the
// image length of the buffer holding it.
struct Picture24 {
  uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  size_t stride = 0;
};
std::optional<Picture24> picture24(uint8_t* image, int32_t imageLength);

}  // namespace plenkit
