// Decoding JPEG bytes back to pixels with libjpeg-turbo, to check what the
// encoder produced.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "testkit/pictures.h"

struct DecodedJpeg {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // top row first, R G B
  Bgr at(int x, int y) const {
    const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
    return Bgr{p[2], p[1], p[0]};
  }
};

std::optional<DecodedJpeg> decodeJpeg(const uint8_t* data, size_t size);

// Colours within `tolerance` per channel.
bool near(Bgr a, Bgr b, int tolerance);
