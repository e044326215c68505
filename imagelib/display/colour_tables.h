// Per-channel lookup tables applied to every byte of a 24-bit picture: the
// colour changes that depend on each channel's own value alone.
#pragma once
#include <array>
#include <cstdint>

#include "display/transforms.h"

namespace plenkit {

using ChannelTable = std::array<uint8_t, 256>;
// Tables of the blue, green and red bytes (their order in memory).
using ChannelTables = std::array<ChannelTable, 3>;

// Replaces every pixel byte (padding untouched) by its channel table's entry,
// with the widest instructions the processor offers.
void applyChannelTables(uint8_t* pixels, PictureShape shape, const ChannelTables& tables);
// The plain loop the wide one must equal.
void applyChannelTablesPortable(uint8_t* pixels, PictureShape shape, const ChannelTables& tables);

}  // namespace plenkit
