// Device contexts: small handles naming a window or a memory target.
#include <mutex>
#include <unordered_map>

#include "window/window_internal.h"

namespace {

struct DcTable {
  std::mutex mutex;
  std::unordered_map<HDC, pl::detail::DcTarget> entries;
  HDC next = 0x00C00000u;

  HDC add(pl::detail::DcTarget target) {
    std::lock_guard lock(mutex);
    next += 4;
    entries.emplace(next, target);
    return next;
  }
  bool remove(HDC hdc, bool memory) {
    std::lock_guard lock(mutex);
    auto it = entries.find(hdc);
    if (it == entries.end() || it->second.memory != memory) return false;
    entries.erase(it);
    return true;
  }
};

DcTable& table() {
  static DcTable* t = new DcTable;
  return *t;
}

}  // namespace

PL_API HDC GetDC(HWND hwnd) {
  if (!IsWindow(hwnd)) return 0;
  return table().add({hwnd, false});
}

PL_API int ReleaseDC(HWND, HDC hdc) { return table().remove(hdc, false) ? 1 : 0; }

PL_API HDC CreateCompatibleDC(HDC) { return table().add({0, true}); }

PL_API BOOL DeleteDC(HDC hdc) { return table().remove(hdc, true) ? TRUE : FALSE; }

PL_API HWND WindowFromDC(HDC hdc) {
  pl::detail::DcTarget target;
  return pl::detail::dcTarget(hdc, &target) ? target.hwnd : 0;
}

namespace pl::detail {

bool dcTarget(HDC hdc, DcTarget* out) {
  DcTable& t = table();
  std::lock_guard lock(t.mutex);
  auto it = t.entries.find(hdc);
  if (it == t.entries.end()) return false;
  if (out) *out = it->second;
  return true;
}

}  // namespace pl::detail
