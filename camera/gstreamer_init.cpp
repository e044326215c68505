#include "gstreamer_init.h"

#include <mutex>

#include "emulation/uvc_emulation.h"

namespace pl::capture {

bool ensureGstreamer() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] {
    GError* error = nullptr;
    ready = gst_init_check(nullptr, nullptr, &error) == TRUE;
    if (error) g_error_free(error);
    if (ready) uvc::registerPlugin();  // emulated UVC webcams, listed only when configured
  });
  return ready;
}

}  // namespace pl::capture
