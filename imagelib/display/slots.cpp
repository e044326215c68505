// Display slots: windows registered under the numbers 0..6 that show their
// slot's picture and redraw it after every system repaint.
#include <cstring>

#include "bitmap/bmp_file.h"
#include "bitmap/library.h"

using namespace plenkit;

namespace {

bool validSlot(int32_t slot) { return slot >= 0 && slot < kSlotCount; }

// Stretches the picture (info header at offset 14, pixels at 54) over the
// window's client area.
void drawSlotImage(Library& library, HWND window, const uint8_t* image) {
  const BITMAPINFOHEADER header = infoHeaderOf(image);
  RECT client{};
  if (!GetClientRect(window, &client)) return;
  const HDC dc = GetDC(window);
  if (dc == 0) return;
  DrawDibDraw(library.drawing, dc, client.left, client.top, client.right - client.left, client.bottom - client.top,
              &header, image + kPixelOffset, 0, 0, -1, -1, 0);
  ReleaseDC(window, dc);
}

void drawLocked(Library& library, HWND window, const uint8_t* image) {
  std::lock_guard<std::mutex> guard(library.drawLock);
  drawSlotImage(library, window, image);
}

Slot* slotOfWindow(Library& library, HWND window) {
  for (Slot& slot : library.slots)
    if (slot.inUse && slot.window == window) return &slot;
  return nullptr;
}

// An empty slot's window gets default processing only, so the owning
// screen's click handling stays off until a picture is shown. System
// repaints are answered by a posted redraw, so the window paints itself
// first and the picture lands on top.
LRESULT slotWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  Library& L = lib();
  Slot* slot = slotOfWindow(L, window);
  if (slot == nullptr || slot->length == 0) return DefWindowProcA(window, msg, wParam, lParam);
  if (msg == WM_PAINT) {
    PostMessageA(window, PLENKIT_WM_REPAINT, 0, 0);
  } else if (msg == PLENKIT_WM_REPAINT) {
    drawSlotImage(L, window, slot->buffer.get());
    return 0;
  }
  return CallWindowProcA(slot->previous, window, msg, wParam, lParam);
}

}  // namespace

PL_API int32_t BitDispWindSet(int32_t slot, HWND window) {
  return guarded(1, [&]() -> int32_t {
    Library& L = lib();
    if (!L.ready || !validSlot(slot) || L.slots[slot].inUse) return 1;
    // A window already serving a slot would chain the slot procedure to itself.
    if (!IsWindow(window) || slotOfWindow(L, window) != nullptr) return 1;
    const auto previous = reinterpret_cast<WNDPROC>(GetWindowLongA(window, GWL_WNDPROC));
    if (previous == nullptr) return 1;
    Buffer buffer = allocateBuffer();
    if (!buffer) return 1;
    Slot& s = L.slots[slot];
    s.inUse = true;
    s.window = window;
    s.previous = previous;
    s.buffer = std::move(buffer);
    s.length = 0;
    SetWindowLongA(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&slotWindowProc));
    return 0;
  });
}

PL_API int32_t BitDispWindReset(int32_t slot) {
  return guarded(1, [&]() -> int32_t {
    if (!validSlot(slot)) return 1;
    lib().slots[slot].reset();
    return 0;
  });
}

PL_API int32_t BmpDisp(int32_t slot) {
  return guarded(1, [&]() -> int32_t {
    Library& L = lib();
    if (!L.ready || !L.hasImage() || !validSlot(slot) || !L.slots[slot].inUse) return 1;
    Slot& s = L.slots[slot];
    std::memcpy(s.buffer.get(), L.image.get(), static_cast<size_t>(L.imageLength));
    s.length = L.imageLength;
    drawLocked(L, s.window, L.image.get());
    return 0;
  });
}

PL_API int32_t BmpFileDisp(int32_t slot, const char* path) {
  return guarded(1, [&]() -> int32_t {
    Library& L = lib();
    if (!L.ready || !validSlot(slot) || !L.slots[slot].inUse) return 1;
    const int32_t pixelBytes = readBmpFile(path, nullptr, L.work.get());
    if (pixelBytes == 0) return 1;
    Slot& s = L.slots[slot];
    s.length = pixelBytes + static_cast<int32_t>(kPixelOffset);
    std::memcpy(s.buffer.get(), L.work.get(), static_cast<size_t>(s.length));
    // Shown as stored: the engine decodes planar frames itself, here and at
    // every repaint.
    drawLocked(L, s.window, L.work.get());
    return 0;
  });
}

PL_API int32_t BmpDispReset(int32_t slot) {
  return guarded(1, [&]() -> int32_t {
    if (!validSlot(slot)) return 1;
    lib().slots[slot].length = 0;
    return 0;
  });
}

PL_API int32_t BmpDispCopy(int32_t source, int32_t destination) {
  return guarded(1, [&]() -> int32_t {
    Library& L = lib();
    if (!L.ready || !validSlot(source) || !validSlot(destination)) return 1;
    const Slot& from = L.slots[source];
    Slot& to = L.slots[destination];
    if (!to.inUse || from.length == 0 || !from.buffer) return 1;
    if (&from != &to) std::memcpy(to.buffer.get(), from.buffer.get(), static_cast<size_t>(from.length));
    to.length = from.length;
    drawLocked(L, to.window, to.buffer.get());
    return 0;
  });
}
