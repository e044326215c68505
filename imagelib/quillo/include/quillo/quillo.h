// Quillo, the outside JPEG encoder.
#pragma once
#include <stdint.h>

#include "platform/export.h"

// Capacity of the JPEG output buffer every caller passes.
#define QUILLO_JPEG_CAPACITY 1328800

// Encodes a complete BMP file image in memory (24-bit BI_RGB, bottom-up or
// top-down) as JPEG into `jpeg`, which holds QUILLO_JPEG_CAPACITY bytes.
// Quality is clamped to 1..100. Returns the JPEG byte count, or 0 when the
// image cannot be encoded or its JPEG would not fit; nothing is ever written
// past the capacity.
PL_API int32_t Bmp_Jpg(int32_t quality, const void* bmp, int32_t length, void* jpeg);
