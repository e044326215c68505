#include "device_errors.h"

#include <QtGlobal>
#include <map>
#include <mutex>

namespace pl::capture {

namespace {

struct Errors {
  std::mutex mutex;
  std::map<std::string, std::string> last;  // by device node
};

Errors& errors() {
  static auto* e = new Errors;  // never destroyed: streaming threads may report at exit
  return *e;
}

}  // namespace

std::string deviceErrorAdvice(const std::string& text) {
  // STREAMON fails with ENOSPC when the USB host controller has no
  // bandwidth left for the format: v4l2src says only that its buffer pool
  // could not be activated (the errno is in its debug log), which with a
  // USB camera is nearly always this.
  if (text.find("No space left on device") != std::string::npos ||
      text.find("Buffer pool activation failed") != std::string::npos)
    return "USB の帯域が足りません（No space left on device）。カメラを別の USB ポート、できれば別の USB "
           "コントローラーにつなぐか、画像サイズを小さくしてください";
  return {};
}

void reportDeviceError(const std::string& path, GstMessage* message) {
  if (path.empty() || GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR) return;
  GError* error = nullptr;
  gchar* debug = nullptr;
  gst_message_parse_error(message, &error, &debug);
  std::string text = error && error->message ? error->message : "unknown error";
  if (debug && *debug) {
    // GStreamer's details start with the source location; the system's words follow the last colon line.
    const std::string details(debug);
    const size_t cut = details.rfind(":\n");
    text += " (" + (cut == std::string::npos ? details : details.substr(cut + 2)) + ")";
  }
  if (error) g_error_free(error);
  g_free(debug);
  Errors& e = errors();
  std::lock_guard lock(e.mutex);
  std::string& last = e.last[path];
  if (last == text) return;
  last = text;
  const std::string advice = deviceErrorAdvice(text);
  if (advice.empty())
    qWarning("camera %s: %s", path.c_str(), text.c_str());
  else
    qWarning("camera %s: %s: %s", path.c_str(), advice.c_str(), text.c_str());
}

void clearDeviceError(const std::string& path) {
  Errors& e = errors();
  std::lock_guard lock(e.mutex);
  e.last.erase(path);
}

std::string lastDeviceError(const std::string& path) {
  Errors& e = errors();
  std::lock_guard lock(e.mutex);
  const auto it = e.last.find(path);
  return it == e.last.end() ? std::string() : it->second;
}

}  // namespace pl::capture
