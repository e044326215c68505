// The renderer's video window: live frames drawn over an owner window with
// the drawing engine. Without an owner, or while hidden, frames are dropped.
#pragma once
#include <mutex>

#include "formats.h"
#include "platform/drawdib.h"

namespace pl::capture {

class VideoWindow {
 public:
  // `drawn` is the format the renderer receives (drawable).
  explicit VideoWindow(const Capability& drawn);
  ~VideoWindow();
  VideoWindow(const VideoWindow&) = delete;
  VideoWindow& operator=(const VideoWindow&) = delete;

  // setOwner(0) and setVisible(false) return after any drawing under way has ended.
  void setOwner(HWND owner);
  void setStyle(LONG style);
  void setPosition(LONG left, LONG top, LONG width, LONG height);
  void setVisible(bool visible);

  // Streaming thread.
  void draw(const BYTE* bits);

 private:
  std::mutex mutex_;  // held around every drawing
  const BITMAPINFOHEADER header_;
  HDRAWDIB hdd_ = nullptr;
  HWND owner_ = 0;
  HDC dc_ = 0;
  LONG style_ = 0;
  RECT position_;  // left, top, width, height
  bool visible_ = true;
};

}  // namespace pl::capture
