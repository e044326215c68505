// What cameras said when they failed: each error a camera's source element
// posts is logged once, with the device node and GStreamer's text ("Device
// '/dev/video2' is busy"), and not again until the camera has delivered a
// frame or says something else. Any thread.
#pragma once
#include <gst/gst.h>

#include <string>

namespace pl::capture {

// Logs the error of `message` (a GST_MESSAGE_ERROR) for the camera at `path`.
void reportDeviceError(const std::string& path, GstMessage* message);
// The camera delivered again: its next error is logged.
void clearDeviceError(const std::string& path);
// The last error logged for `path` ("" when none): "text (details)".
std::string lastDeviceError(const std::string& path);
// What the operator should know about an error text, in Japanese, for the
// causes that have a remedy ("" for others): a USB bus without bandwidth.
std::string deviceErrorAdvice(const std::string& text);

}  // namespace pl::capture
