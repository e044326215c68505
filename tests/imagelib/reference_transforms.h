// The transforms written out plainly, pixel by pixel, exactly as their
// formulas read: what the library's faster arrangement must match byte for
// byte.
#pragma once
#include "testkit/pictures.h"

// Rotation into a white-filled copy, then zoom back; headers unchanged.
Bytes referenceScalConv(const Bytes& bmp, int rotation, int zoom);
// Steps already limited to 0..20.
Bytes referenceColChange(const Bytes& bmp, int brightness, int red, int green, int blue);
