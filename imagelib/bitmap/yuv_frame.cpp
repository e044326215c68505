#include "bitmap/yuv_frame.h"

#include <cstring>

#include "bitmap/bmp_file.h"

namespace plenkit {
namespace {

// The window's context and a memory context made compatible with it, both
// released on every path.
class MemoryContext {
 public:
  explicit MemoryContext(HWND window) : window_(window), windowDc_(GetDC(window)) {
    memory_ = CreateCompatibleDC(windowDc_);
  }
  ~MemoryContext() {
    if (memory_ != 0) DeleteDC(memory_);
    if (windowDc_ != 0) ReleaseDC(window_, windowDc_);
  }
  MemoryContext(const MemoryContext&) = delete;
  MemoryContext& operator=(const MemoryContext&) = delete;
  HDC get() const { return memory_; }

 private:
  HWND window_;
  HDC windowDc_;
  HDC memory_ = 0;
};

// Widens a 5- or 6-bit field the way the classic decoders did.
uint8_t widen(unsigned field, double factor) { return static_cast<uint8_t>(field * factor * 255.0); }

// Copies the engine's rows (`source`, bottom row first unless `topDown`) to
// 24-bit rows of `stride` bytes at `target`.
bool copyRows(const uint8_t* source, const BITMAPINFOHEADER& layout, int width, int height, bool topDown, size_t stride,
              uint8_t* target) {
  const size_t sourceStride = rowLength(width, layout.biBitCount);
  if (layout.biBitCount == 24 && layout.biCompression == BI_RGB && !topDown && sourceStride == stride) {
    std::memcpy(target, source, stride * static_cast<size_t>(height));
    return true;
  }
  for (int row = 0; row < height; ++row) {
    const uint8_t* in = source + sourceStride * static_cast<size_t>(topDown ? height - 1 - row : row);
    uint8_t* out = target + stride * static_cast<size_t>(row);
    if (layout.biBitCount == 24 && layout.biCompression == BI_RGB) {
      std::memcpy(out, in, static_cast<size_t>(width) * 3);
    } else if (layout.biBitCount == 32 && layout.biCompression == BI_RGB) {
      for (int x = 0; x < width; ++x, in += 4, out += 3) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
      }
    } else if (layout.biBitCount == 16 && layout.biCompression == BI_BITFIELDS) {
      for (int x = 0; x < width; ++x, in += 2, out += 3) {
        const unsigned word = in[0] | (in[1] << 8);
        out[0] = widen(word & 0x1F, 0.03225806451612903);
        out[1] = widen((word >> 5) & 0x3F, 0.015873015873015872);
        out[2] = widen(word >> 11, 0.03225806451612903);
      }
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

uint32_t convertYuvFrame(Library& library, HWND window, const BITMAPINFOHEADER& frame, const uint8_t* pixels,
                         size_t pixelBytes, uint8_t* target) {
  const int width = frame.biWidth;
  const int height = frame.biHeight;
  if (width <= 0 || height <= 0) return 0;
  const auto needed = impliedPixelBytes(frame);
  if (!needed || *needed > pixelBytes) return 0;
  const uint64_t stride = rowLength(width, 24);
  const uint64_t outputBytes = stride * static_cast<uint64_t>(height);
  if (outputBytes > kBufferSize - kPixelOffset) return 0;

  MemoryContext memory(window);
  if (memory.get() == 0) return 0;
  std::lock_guard<std::mutex> guard(library.drawLock);
  if (!DrawDibDraw(library.drawing, memory.get(), 0, 0, width, height, &frame, pixels, 0, 0, -1, -1, 0)) return 0;
  BITMAPINFOHEADER layout{};
  const auto* decoded = static_cast<const uint8_t*>(DrawDibGetBuffer(library.drawing, &layout, sizeof layout, 0));
  // No decompression buffer: there is no readback of a drawn picture here.
  if (decoded == nullptr || layout.biWidth != width || (layout.biHeight != height && layout.biHeight != -height))
    return 0;
  if (!copyRows(decoded, layout, width, height, layout.biHeight < 0, static_cast<size_t>(stride),
                target + kPixelOffset))
    return 0;

  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(outputBytes);
  storeInfoHeader(target, info);
  return static_cast<uint32_t>(outputBytes);
}

}  // namespace plenkit
