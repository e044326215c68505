#include "video_window.h"

#include <utility>

#include "platform/window.h"

namespace pl::capture {

VideoWindow::VideoWindow(const Capability& drawn)
    : header_(bitmapHeader(drawn)), hdd_(DrawDibOpen()), position_{0, 0, drawn.width, drawn.height} {}

VideoWindow::~VideoWindow() {
  if (dc_) ReleaseDC(owner_, dc_);
  if (hdd_) DrawDibClose(hdd_);
}

void VideoWindow::setOwner(HWND owner) {
  const HDC dc = owner ? GetDC(owner) : 0;
  HWND oldOwner = 0;
  HDC oldDc = 0;
  {
    std::lock_guard lock(mutex_);
    oldOwner = std::exchange(owner_, owner);
    oldDc = std::exchange(dc_, dc);
  }
  if (oldDc) ReleaseDC(oldOwner, oldDc);
}

void VideoWindow::setStyle(LONG style) {
  std::lock_guard lock(mutex_);
  style_ = style;  // the picture is always drawn into the owner; the style changes nothing
}

void VideoWindow::setPosition(LONG left, LONG top, LONG width, LONG height) {
  std::lock_guard lock(mutex_);
  position_ = RECT{left, top, width, height};
}

void VideoWindow::setVisible(bool visible) {
  std::lock_guard lock(mutex_);
  visible_ = visible;
}

void VideoWindow::draw(const BYTE* bits) {
  std::lock_guard lock(mutex_);
  if (!hdd_ || !dc_ || !visible_ || position_.right <= 0 || position_.bottom <= 0) return;
  // The window layer keeps only the newest picture per window, so a busy UI
  // thread never piles frames up.
  DrawDibDraw(hdd_, dc_, position_.left, position_.top, position_.right, position_.bottom, &header_, bits, 0, 0, -1, -1,
              0);
}

}  // namespace pl::capture
