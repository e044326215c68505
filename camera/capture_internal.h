// Internal hooks of the capture graph service for its own tests (exported
// only so that they can reach them).
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "formats.h"
#include "platform/export.h"

namespace pl::capture::detail {

// Throws the virtual cameras away and reads $VCAM_DEVICES and $VCAM_FPS again,
// as the first enumeration of a process does.
PL_VISIBLE void rereadVirtualCameraEnvironment();

// The order of real cameras' port paths (digit runs compare as numbers).
PL_VISIBLE int comparePortPaths(std::string_view a, std::string_view b);

// The capability list of a real camera whose device caps are `caps` (caps
// text); empty for unparsable text.
PL_VISIBLE std::vector<Capability> realCapabilitiesOf(const char* caps);

// How many times the cameras were listed, and devices bound (the device
// check binds each camera it checks), in this process.
PL_VISIBLE int cameraListings();
PL_VISIBLE int deviceBinds();

// The error last logged for the camera at `path` ("" when none).
PL_VISIBLE std::string lastCameraError(const std::string& path);

}  // namespace pl::capture::detail
