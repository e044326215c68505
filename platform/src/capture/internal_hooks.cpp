#include "capture/capture_internal.h"
#include "capture/devices.h"

namespace pl::capture::detail {

void rereadVirtualCameraEnvironment() { useEnvironmentCameras(); }

int comparePortPaths(std::string_view a, std::string_view b) { return naturalCompare(a, b); }

std::vector<Capability> realCapabilitiesOf(const char* caps) {
  if (!caps || !ensureGstreamer()) return {};
  CapsPtr parsed(gst_caps_from_string(caps));
  return parsed ? realCapabilities(parsed.get()) : std::vector<Capability>{};
}

}  // namespace pl::capture::detail
