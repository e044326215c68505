// Pixel conversions of the drawing engine, each one pass of libyuv (or one
// plain loop) from the caller's bits straight into the destination.
#pragma once
#include <QImage>
#include <QRect>
#include <cstdint>
#include <vector>

#include "drawdib/dib_picture.h"

namespace pl::drawdib {

// Bytes per row of a 24-bit DIB `width` pixels wide.
inline int rgb24Stride(int width) { return (width * 3 + 3) & ~3; }

// `area` of an RGB picture as a Format_RGB32 image, top row first. `reuse`
// is written into when it is unshared and of the right size, saving an
// allocation per frame. Null image when memory runs out.
QImage rgbToImage(const DibPicture& pic, const QRect& area, QImage reuse);

// The whole planar frame as a Format_RGB32 image (see rgbToImage for `reuse`).
QImage planarToImage(const DibPicture& pic, QImage reuse);

// The whole planar frame as 24-bit DIB rows, bottom row first, into `out`
// (resized to rgb24Stride(width) * height; padding bytes are zero).
void planarToRgb24(const DibPicture& pic, std::vector<uint8_t>& out);

// A Format_RGB32 image as 24-bit DIB rows, bottom row first, into `out`.
void imageToRgb24(const QImage& image, std::vector<uint8_t>& out);

}  // namespace pl::drawdib
