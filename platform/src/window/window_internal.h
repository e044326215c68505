// Internal interface of the window layer for the other platform areas.
#pragma once
#include <QImage>
#include <QRect>

#include "platform/window.h"

namespace pl::detail {

// Shows `image` stretched into `dest` (client coordinates of `hwnd`) over the
// window's own content, replacing pictures it covers, until the system
// repaints the window. Any thread; never blocks and never raises WM_PAINT.
// False for unknown or stale handles.
bool showPicture(HWND hwnd, const QRect& dest, QImage image);

// What a device context refers to.
struct DcTarget {
  HWND hwnd = 0;        // the window of a window context, 0 for a memory context
  bool memory = false;  // CreateCompatibleDC: receives decompressed pictures only
};
// False for an unknown or deleted context. Any thread.
bool dcTarget(HDC hdc, DcTarget* out);

}  // namespace pl::detail
