// Reading a device-independent bitmap as handed to the drawing engine: which
// of the drawable layouts it is, where its rows and planes lie, and which part
// of it a source rectangle selects.
#pragma once
#include <QRect>
#include <cstdint>
#include <optional>

#include "platform/wintypes.h"

namespace pl::drawdib {

// Largest width or height accepted; anything above is a corrupt header.
inline constexpr int kMaxSide = 16384;

enum class DibKind {
  Bgr24,      // BI_RGB, 24 bits: B, G, R per pixel
  Bgrx32,     // BI_RGB, 32 bits: B, G, R, unused
  Planar420,  // "I420" / "IYUV": Y plane, then U, then V, chroma halved both ways
};

struct DibPicture {
  DibKind kind = DibKind::Bgr24;
  int width = 0;
  int height = 0;         // always positive
  bool bottomUp = false;  // RGB rows stored bottom row first
  const uint8_t* bits = nullptr;
  int stride = 0;  // bytes per stored RGB row (padded to 4)
  // Planar frames only.
  const uint8_t* y = nullptr;
  const uint8_t* u = nullptr;
  const uint8_t* v = nullptr;
  int chromaWidth = 0;
  int chromaHeight = 0;

  // Address of picture row `row` (0 = top as displayed) of an RGB picture.
  const uint8_t* rgbRow(int row) const {
    const int stored = bottomUp ? height - 1 - row : row;
    return bits + static_cast<std::ptrdiff_t>(stored) * stride;
  }
};

// Nullopt for a header the engine cannot draw: short header, zero or absurd
// size, other bit counts or compressions, or a declared image size smaller
// than the layout needs.
std::optional<DibPicture> describeDib(const BITMAPINFOHEADER* header, const void* bits);

// The picture area selected by a source rectangle in picture coordinates
// (origin top left as displayed); a width or height of -1 reaches to the
// picture's edge. Clipped to the picture; empty when nothing is left.
QRect clipSource(const DibPicture& pic, int x, int y, int dx, int dy);

}  // namespace pl::drawdib
