// Bmp_Jpg over libjpeg-turbo: the BGR rows of the BMP image go to the
// compressor as they are stored (bottom-up, padded pitch), without a copy.
#include "quillo/quillo.h"

#include <turbojpeg.h>

#include <cstring>
#include <mutex>

#include "platform/wintypes.h"

namespace {

constexpr unsigned long kCapacity = QUILLO_JPEG_CAPACITY;
constexpr int kSubsampling = TJSAMP_420;

// One compressor for the process, made at first use; calls are serialised.
class Compressor {
 public:
  ~Compressor() {
    if (handle_ != nullptr) tjDestroy(handle_);
  }

  int32_t encode(const unsigned char* rows, int width, int pitch, int height, int flags, int quality,
                 unsigned char* out) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (handle_ == nullptr) handle_ = tjInitCompress();
    if (handle_ == nullptr) return 0;

    // Straight into the caller's buffer when even the worst case fits there;
    // otherwise into a buffer of the library's, copied only if it fits.
    const unsigned long worst = tjBufSize(width, height, kSubsampling);
    if (worst != static_cast<unsigned long>(-1) && worst <= kCapacity) {
      unsigned char* dst = out;
      unsigned long size = kCapacity;
      if (tjCompress2(handle_, rows, width, pitch, height, TJPF_BGR, &dst, &size, kSubsampling, quality,
                      flags | TJFLAG_NOREALLOC) != 0 ||
          dst != out || size > kCapacity)
        return 0;
      return static_cast<int32_t>(size);
    }
    unsigned char* owned = nullptr;
    unsigned long size = 0;
    int32_t result = 0;
    if (tjCompress2(handle_, rows, width, pitch, height, TJPF_BGR, &owned, &size, kSubsampling, quality, flags) == 0 &&
        size > 0 && size <= kCapacity) {
      std::memcpy(out, owned, size);
      result = static_cast<int32_t>(size);
    }
    tjFree(owned);
    return result;
  }

 private:
  std::mutex mutex_;
  tjhandle handle_ = nullptr;
};

Compressor& compressor() {
  static Compressor instance;
  return instance;
}

}  // namespace

PL_API int32_t Bmp_Jpg(int32_t quality, const void* bmp, int32_t length, void* jpeg) {
  try {
    constexpr int64_t kHeaders = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    if (bmp == nullptr || jpeg == nullptr || length < kHeaders) return 0;
    const auto* bytes = static_cast<const unsigned char*>(bmp);
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER info;
    std::memcpy(&file, bytes, sizeof file);
    std::memcpy(&info, bytes + sizeof file, sizeof info);
    if (file.bfType != 0x4D42 || info.biSize < sizeof info || info.biBitCount != 24 || info.biCompression != BI_RGB ||
        info.biWidth <= 0 || info.biHeight == 0 || info.biHeight == INT32_MIN)
      return 0;

    const int64_t width = info.biWidth;
    const int64_t height = info.biHeight < 0 ? -static_cast<int64_t>(info.biHeight) : info.biHeight;
    const int64_t pitch = (width * 3 + 3) & ~int64_t{3};
    // The pixels are at offset 54 whatever the offset field says, as for
    // everything else that handles the image library's pictures.
    if (pitch > INT32_MAX || kHeaders + pitch * height > length) return 0;

    const int q = quality < 1 ? 1 : quality > 100 ? 100 : quality;
    const int flags = info.biHeight > 0 ? TJFLAG_BOTTOMUP : 0;
    return compressor().encode(bytes + kHeaders, static_cast<int>(width), static_cast<int>(pitch),
                               static_cast<int>(height), flags, q, static_cast<unsigned char*>(jpeg));
  } catch (...) { return 0; }
}
