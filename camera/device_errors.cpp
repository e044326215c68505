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
  qWarning("camera %s: %s", path.c_str(), text.c_str());
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
