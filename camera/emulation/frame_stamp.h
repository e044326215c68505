// What a virtual camera writes into each of its frames: the frame number and
// the wall-clock time in large digits, and a machine-readable frame counter.
//
// Counter strip: frame k (1-based since the graph started running) as 32
// blocks of 8 x 8 pixels from the top-left corner, most significant bit
// first, left to right and wrapping onto further block rows when the picture
// is narrower than 256 pixels; a 1 bit is white (Y 235), a 0 bit black (Y 16),
// chroma neutral, so the strip survives conversion to RGB.
#pragma once
#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <cstdint>

namespace pl::capture {

inline constexpr int kCounterBits = 32;
inline constexpr int kCounterBlock = 8;

// Stamps one I420 picture (planes as given) with frame number `frame` and `text`.
void stampPicture(uint8_t* y, int yStride, uint8_t* u, int uStride, uint8_t* v, int vStride, int width, int height,
                  uint32_t frame, const char* text);

// The pad probe of a virtual camera's source: stamps every frame, or drops
// them all for a camera that delivers none.
class FrameStamp {
 public:
  FrameStamp(int width, int height, bool deliver);
  // The next frame is frame 1 again.
  void restart() { count_.store(0); }
  static GstPadProbeReturn probe(GstPad* pad, GstPadProbeInfo* info, gpointer self);

 private:
  GstPadProbeReturn onBuffer(GstPadProbeInfo* info);

  GstVideoInfo info_{};
  bool deliver_;
  std::atomic<uint32_t> count_{0};
};

}  // namespace pl::capture
