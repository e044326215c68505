#include "draw_handle.h"

#include <mutex>

namespace korvex {
namespace {
std::mutex mutex;
int users = 0;
HDRAWDIB handle = nullptr;
}  // namespace

void acquireDrawHandle() {
  std::lock_guard lock(mutex);
  if (users++ == 0) handle = DrawDibOpen();
}

void releaseDrawHandle() {
  std::lock_guard lock(mutex);
  if (users > 0 && --users == 0) {
    DrawDibClose(handle);
    handle = nullptr;
  }
}

HDRAWDIB drawHandle() {
  std::lock_guard lock(mutex);
  return handle;
}

}  // namespace korvex
