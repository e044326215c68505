#include "capture_internal.h"
#include "device_errors.h"
#include "devices.h"
#include "gstreamer_init.h"

namespace pl::capture::detail {

void rereadVirtualCameraEnvironment() { useEnvironmentCameras(); }

int comparePortPaths(std::string_view a, std::string_view b) { return naturalCompare(a, b); }

std::vector<Capability> realCapabilitiesOf(const char* caps) {
  if (!caps || !ensureGstreamer()) return {};
  CapsPtr parsed(gst_caps_from_string(caps));
  return parsed ? realCapabilities(parsed.get()) : std::vector<Capability>{};
}

int cameraListings() { return listingCount(); }

int deviceBinds() { return bindCount(); }

std::string lastCameraError(const std::string& path) { return lastDeviceError(path); }

}  // namespace pl::capture::detail
