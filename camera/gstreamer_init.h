// GStreamer's start-up for the capture graph service: lazy and thread-safe,
// with the service's own static plugin (the emulated UVC webcams) registered
// at once, so that its device provider and source exist before any listing.
#pragma once

namespace pl::capture {

// Initialises GStreamer once per process; false when it cannot be.
bool ensureGstreamer();

}  // namespace pl::capture
