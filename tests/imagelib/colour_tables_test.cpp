// The wide table lookup (chosen by processor) against the plain loop, over
// widths that end a row at every position of a 64-byte step.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "display/colour_tables.h"

namespace {

TEST(ColourTables, WideLookupEqualsThePlainLoopAtEveryRowLength) {
  std::mt19937 random(7);
  plenkit::ChannelTables tables;
  for (auto& table : tables)
    for (auto& entry : table) entry = static_cast<uint8_t>(random());
  for (int width = 1; width <= 140; ++width) {
    const plenkit::PictureShape shape{width, 3, (static_cast<size_t>(width) * 3 + 3) & ~size_t{3}};
    std::vector<uint8_t> wide(shape.stride * 3 + 64);
    for (auto& b : wide) b = static_cast<uint8_t>(random());
    std::vector<uint8_t> plain = wide;
    plenkit::applyChannelTables(wide.data(), shape, tables);
    plenkit::applyChannelTablesPortable(plain.data(), shape, tables);
    ASSERT_EQ(wide, plain) << "width " << width;
  }
}

}  // namespace
