#include "bitmap/library.h"

#include <new>

namespace plenkit {

Buffer allocateBuffer() { return Buffer(new (std::nothrow) uint8_t[kBufferSize + kBufferSlack]()); }

void Slot::reset() {
  if (inUse) SetWindowLongA(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  buffer.reset();
  inUse = false;
  window = 0;
  previous = nullptr;
  length = 0;
}

Library::Library() {
  drawing = DrawDibOpen();
  image = allocateBuffer();
  work = allocateBuffer();
  jpeg = allocateBuffer();
  scratch.reset(new (std::nothrow) int32_t[static_cast<size_t>(maxPictureWidth())]);
  // Without its buffers the library stays unready and refuses every image call.
  ready = image && work && jpeg && scratch;
}

Library::~Library() {
  if (ready)
    for (Slot& slot : slots) slot.reset();
  ready = false;
  image.reset();
  work.reset();
  jpeg.reset();
  scratch.reset();
  if (drawing != nullptr) DrawDibClose(drawing);
  drawing = nullptr;
}

namespace {
// Constructed when the shared object is loaded, destroyed when it is unloaded.
Library g_library;
}  // namespace

Library& lib() { return g_library; }

}  // namespace plenkit
