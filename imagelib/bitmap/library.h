// Process-wide state of the library: the three image buffers with their
// lengths, the display slot tables, the shared drawing handle and the lock
// around drawing. Made when the library is loaded, released when unloaded.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/drawdib.h"
#include "platform/window.h"
#include "plenkit/plenkit.h"

namespace plenkit {

inline constexpr size_t kBufferSize = PLENKIT_BUFFER_SIZE;
inline constexpr int kSlotCount = PLENKIT_SLOT_COUNT;
inline constexpr size_t kFileHeaderSize = 14;
inline constexpr size_t kPixelOffset = 54;  // file header + 40-byte info header

// Buffers hold kBufferSize bytes of image plus a few bytes of slack, so the
// transforms may move pixels as 4-byte words up to the last pixel.
inline constexpr size_t kBufferSlack = 16;
using Buffer = std::unique_ptr<uint8_t[]>;
Buffer allocateBuffer();  // kBufferSize + kBufferSlack zeroed bytes, or null

// Largest width a buffer can hold; `scratch` arguments hold this many ints.
constexpr int32_t maxPictureWidth() { return static_cast<int32_t>((kBufferSize - kPixelOffset) / 3); }

struct Slot {
  bool inUse = false;
  HWND window = 0;
  WNDPROC previous = nullptr;
  Buffer buffer;
  int32_t length = 0;  // 0: the slot is empty

  // Gives the window its own procedure back and empties the slot.
  void reset();
};

struct Library {
  Library();
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool ready = false;
  Buffer image, work, jpeg;
  std::unique_ptr<int32_t[]> scratch;  // per-row or per-column tables of the transforms
  bool imageOpen = false;
  int32_t imageLength = 0;
  int32_t jpegLength = 0;
  HDRAWDIB drawing = nullptr;
  std::mutex drawLock;
  std::array<Slot, kSlotCount> slots;

  // An open image with a usable length.
  bool hasImage() const { return imageOpen && imageLength > 0; }
};

Library& lib();

// Runs an export body; an exception (none is expected) becomes the refusal.
template <class Body>
int32_t guarded(int32_t refusal, Body&& body) noexcept {
  try {
    return body();
  } catch (...) { return refusal; }
}

}  // namespace plenkit
