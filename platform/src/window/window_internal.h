// Internal interface of the window layer for the other platform areas
// (exported only so that the layer's own tests can reach it).
#pragma once
#include <QImage>
#include <QRect>

#include "platform/export.h"
#include "platform/window.h"

namespace pl::detail {

// Shows `image` stretched into `dest` (client coordinates of `hwnd`) over the
// window's own content, replacing pictures it covers, until the system
// repaints the window. Any thread; never blocks and never raises WM_PAINT.
// False for unknown or stale handles.
PL_VISIBLE bool showPicture(HWND hwnd, const QRect& dest, QImage image);

// What a device context refers to.
struct DcTarget {
  HWND hwnd = 0;        // the window of a window context, 0 for a memory context
  bool memory = false;  // CreateCompatibleDC: receives decompressed pictures only
};
// False for an unknown or deleted context. Any thread.
PL_VISIBLE bool dcTarget(HDC hdc, DcTarget* out);

}  // namespace pl::detail
