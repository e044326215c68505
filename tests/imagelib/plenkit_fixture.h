// Common ground of the image library tests: the library loaded by name, a
// scratch directory, and round trips of pictures through the library.
#pragma once
#include <gtest/gtest.h>

#include "plenkit_api.h"
#include "testkit/pictures.h"

class PlenkitTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(api.loaded) << api.error; }

  // BitMapOpen on `bmp` stored as a file.
  int32_t open(const Bytes& bmp, HWND window = 0) { return api.BitMapOpen(window, dir.put("in.bmp", bmp).c_str()); }
  // The image as the library holds it (empty when BmpFileSend refuses).
  Bytes held() {
    const std::string path = dir.file("held.bmp");
    std::remove(path.c_str());
    if (api.BmpFileSend(path.c_str()) == 0) return {};
    return readBytes(path);
  }
  // The picture after BmpScalConv / BmpColChange.
  Bytes scaled(const Bytes& bmp, int rotation, int zoom) {
    EXPECT_EQ(open(bmp), 0);
    EXPECT_EQ(api.BmpScalConv(rotation, zoom), 0);
    return held();
  }
  Bytes coloured(const Bytes& bmp, int k, int r, int g, int b) {
    EXPECT_EQ(open(bmp), 0);
    EXPECT_EQ(api.BmpColChange(k, r, g, b), 0);
    return held();
  }

  const PlenkitApi& api = plenkit();
  ScratchDir dir;
};
