// The transform entry points: rotation then zoom, and the colour change, on
// the open image in place.
#include <cstring>

#include "bitmap/bmp_file.h"
#include "bitmap/library.h"
#include "display/transforms.h"

using namespace plenkit;

PL_API int32_t BmpScalConv(int32_t rotation, int32_t zoom) {
  return guarded(1, [&]() -> int32_t {
    Library& L = lib();
    if (!L.ready || !L.hasImage()) return 1;
    // Anything but a 24-bit picture that agrees with its length stays as it is.
    const auto picture = picture24(L.image.get(), L.imageLength);
    if (!picture) return 0;
    if (rotationKeepsPicture(rotation) && zoomKeepsPicture(zoom)) return 0;

    const PictureShape shape{picture->width, picture->height, picture->stride};
    uint8_t* workPixels = L.work.get() + kPixelOffset;
    // The rotation makes only the part of the work picture the zoom reads.
    const ZoomPlan plan(shape, zoom);
    rotatePicture(picture->pixels, workPixels, shape, rotation, plan.region(), L.scratch.get());
    std::memcpy(L.work.get() + kFileHeaderSize, L.image.get() + kFileHeaderSize, sizeof(BITMAPINFOHEADER));
    zoomPicture(workPixels, picture->pixels, shape, plan, L.scratch.get());
    return 0;
  });
}

PL_API int32_t BmpColChange(int32_t brightness, int32_t red, int32_t green, int32_t blue) {
  return guarded(1, [&]() -> int32_t {
    // Steps are taken unsigned: anything above 20, negatives included, is 20.
    const auto step = [](int32_t v) { return static_cast<uint32_t>(v) > 20 ? 20 : static_cast<int>(v); };
    Library& L = lib();
    if (!L.ready || !L.hasImage()) return 1;
    const auto picture = picture24(L.image.get(), L.imageLength);
    if (!picture) return 0;
    adjustColour(picture->pixels, {picture->width, picture->height, picture->stride}, step(brightness), step(red),
                 step(green), step(blue));
    return 0;
  });
}
