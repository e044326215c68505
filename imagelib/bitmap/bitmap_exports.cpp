// Loading the image, writing it as BMP or JPEG, and the JPEG conversion.
#include <cstring>

#include "bitmap/bmp_file.h"
#include "bitmap/library.h"
#include "bitmap/yuv_frame.h"
#include "quillo/quillo.h"

using namespace plenkit;

static_assert(QUILLO_JPEG_CAPACITY == PLENKIT_BUFFER_SIZE, "the encoder writes into the JPEG buffer");

PL_API int32_t BitMapOpen(HWND window, const char* path) {
  return guarded(1, [&]() -> int32_t {
    Library& L = lib();
    if (!L.ready) return 1;
    L.imageLength = 0;
    BITMAPINFOHEADER header{};
    const int32_t pixelBytes = readBmpFile(path, &header, L.image.get());
    if (pixelBytes == 0) return 1;

    switch (header.biCompression) {
      case BI_RGB:
        // Held exactly as stored.
        L.imageLength = pixelBytes + static_cast<int32_t>(kPixelOffset);
        L.imageOpen = true;
        return 0;
      case FOURCC_I420:
      case FOURCC_IYUV: {
        // The engine decodes the frame into a buffer of its own, so the
        // picture can be copied straight over the frame it came from.
        const uint32_t converted = convertYuvFrame(L, window, header, L.image.get() + kPixelOffset,
                                                   static_cast<size_t>(pixelBytes), L.image.get());
        if (converted == 0) return 0;  // loaded, but nothing usable: every image call refuses
        storeFileHeader(L.image.get(), converted);
        L.imageLength = static_cast<int32_t>(converted + kPixelOffset);
        L.imageOpen = true;
        return 0;
      }
      default: return 2;
    }
  });
}

PL_API int32_t BitMapClose(void) {
  lib().imageOpen = false;
  return 0;
}

PL_API int32_t BmpFileSend(const char* path) {
  return guarded(0, [&]() -> int32_t {
    Library& L = lib();
    if (!L.ready || !L.hasImage()) return 0;
    return writeWholeFile(path, L.image.get(), static_cast<size_t>(L.imageLength));
  });
}

PL_API int32_t BmptoJpgConvert(int32_t quality) {
  return guarded(0, [&]() -> int32_t {
    Library& L = lib();
    if (!L.ready || !L.hasImage()) return 0;
    L.jpegLength = Bmp_Jpg(quality, L.image.get(), L.imageLength, L.jpeg.get());
    if (L.jpegLength < 0 || L.jpegLength > static_cast<int32_t>(kBufferSize)) L.jpegLength = 0;
    return L.jpegLength;
  });
}

PL_API int32_t JpgFileSend(const char* path) {
  return guarded(0, [&]() -> int32_t {
    Library& L = lib();
    if (!L.ready || !L.hasImage() || L.jpegLength == 0) return 0;
    return writeWholeFile(path, L.jpeg.get(), static_cast<size_t>(L.jpegLength));
  });
}
