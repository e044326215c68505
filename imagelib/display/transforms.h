// Rotation, zoom and colour changes of 24-bit pictures (rows bottom-up,
// `stride` bytes each). Results match the double-precision formulas pixel
// for pixel; the work per call is arranged so that nothing is recomputed
// per pixel that can be computed per row or per column. Source buffers must
// be readable one byte past their last pixel (the library's buffers carry
// slack for that).
#pragma once
#include <cstddef>
#include <cstdint>

namespace plenkit {

struct PictureShape {
  int width;
  int height;
  size_t stride;
};

inline bool rotationKeepsPicture(int32_t step) { return step == 18 || step >= 37; }
inline bool zoomKeepsPicture(int32_t step) { return step < 1 || step > 9; }

// The enlargement of a zoom step: which source column and row each target
// column and row takes (the centre (step x 10) % of the picture, enlarged to
// full size by repetition).
struct Region {
  int left, right;  // columns [left, right)
  int first, last;  // stored rows [first, last)
};
class ZoomPlan {
 public:
  ZoomPlan(PictureShape shape, int32_t step);
  bool keeps() const { return keeps_; }
  int column(int targetColumn) const;
  int row(int targetRow) const;
  // The source pixels the zoom reads (the whole picture when it keeps it).
  Region region() const;

 private:
  PictureShape shape_;
  bool keeps_;
  int x0_ = 0, y0_ = 0;
  double fx_ = 0, fy_ = 0;
};

// Turns the picture by (step - 18) x 10 degrees about its centre into
// `target` (nearest source pixel, white where nothing maps). Only the target
// pixels in `region` are made: those a zoom goes on to read.
void rotatePicture(const uint8_t* source, uint8_t* target, PictureShape shape, int32_t step, Region region,
                   int32_t* scratch);

// Enlarges by `plan` from `source` into `target`.
void zoomPicture(const uint8_t* source, uint8_t* target, PictureShape shape, const ZoomPlan& plan, int32_t* scratch);

// Brightness and red, green, blue gains, steps 0..20 (10 neutral), in place.
void adjustColour(uint8_t* pixels, PictureShape shape, int brightness, int red, int green, int blue);

}  // namespace plenkit
