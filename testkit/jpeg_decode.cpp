#include "testkit/jpeg_decode.h"

#include <turbojpeg.h>

#include <cstdlib>

std::optional<DecodedJpeg> decodeJpeg(const uint8_t* data, size_t size) {
  tjhandle handle = tjInitDecompress();
  if (handle == nullptr) return std::nullopt;
  DecodedJpeg out;
  int subsampling = 0, colourspace = 0;
  std::optional<DecodedJpeg> result;
  if (tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &out.width, &out.height, &subsampling,
                          &colourspace) == 0) {
    out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
    if (tjDecompress2(handle, data, static_cast<unsigned long>(size), out.rgb.data(), out.width, 0, out.height,
                      TJPF_RGB, 0) == 0)
      result = std::move(out);
  }
  tjDestroy(handle);
  return result;
}

bool near(Bgr a, Bgr b, int tolerance) {
  return std::abs(a.b - b.b) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.r - b.r) <= tolerance;
}
