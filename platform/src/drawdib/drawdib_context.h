// The state behind one drawing handle.
#pragma once
#include <QImage>
#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/wintypes.h"

namespace pl::drawdib {

// What DrawDibGetBuffer hands out after the last drawing.
enum class LastFrame {
  None,       // nothing decompressed (no drawing yet, or an RGB picture)
  Rgb24,      // `rgb24` holds the frame
  InPicture,  // the frame went to a window; `picture` holds it, `rgb24` is made on request
};

}  // namespace pl::drawdib

struct DrawDibContext {
  std::mutex mutex;  // one call at a time per handle
  pl::drawdib::LastFrame last = pl::drawdib::LastFrame::None;
  std::vector<uint8_t> rgb24;  // 24-bit rows, bottom row first
  int rgbWidth = 0;
  int rgbHeight = 0;
  QImage picture;  // the last planar frame drawn into a window, whole

  // Pictures recently handed to windows. Once a window lets go of one (the
  // next drawing replaced it) it is written over instead of allocating anew.
  std::array<QImage, 3> recent;
  size_t nextRecent = 0;

  // Newest first: the most recently written picture is the likeliest to
  // still be in the cache.
  QImage takeReusable(int width, int height) {
    for (size_t age = 1; age <= recent.size(); ++age) {
      QImage& image = recent[(nextRecent + recent.size() - age) % recent.size()];
      if (image.isDetached() && image.width() == width && image.height() == height)
        return std::exchange(image, QImage());
    }
    return {};
  }
  void remember(const QImage& image) {
    recent[nextRecent] = image;
    nextRecent = (nextRecent + 1) % recent.size();
  }
};
