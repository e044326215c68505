// Frames as a DIB holds them. GStreamer's own layouts of the formats used
// here are the DIB's (tight planes, BGR rows padded to 4 bytes) unless an
// element hands over buffers with other strides; only then are the bytes
// packed, into a buffer allocated once when the graph is built.
#pragma once
#include <gst/gst.h>
#include <gst/video/video.h>

#include <vector>

#include "formats.h"

namespace pl::capture {

// Used by one streaming thread at a time.
class DibReader {
 public:
  explicit DibReader(const Capability& cap);
  ~DibReader();
  DibReader(const DibReader&) = delete;
  DibReader& operator=(const DibReader&) = delete;

  // Maps `buffer` and returns its bytes laid out as a DIB, valid until
  // unmap(); nullptr when the buffer cannot be read.
  const BYTE* map(GstBuffer* buffer, size_t* length);
  void unmap();

  const DibLayout& layout() const { return layout_; }

 private:
  const BYTE* packPlanar();
  const BYTE* packRows();

  DibLayout layout_;
  GstVideoInfo info_{};
  std::vector<BYTE> scratch_;
  GstVideoFrame frame_{};
  GstMapInfo bytes_{};
  GstBuffer* mappedBuffer_ = nullptr;  // set while bytes_ holds a mapping
  bool frameMapped_ = false;
};

}  // namespace pl::capture
