#include "window/handle_table.h"

namespace pl::detail {

HandleTable& HandleTable::instance() {
  static HandleTable* table = new HandleTable;  // outlives every static widget
  return *table;
}

EntryPtr HandleTable::add(QObject* object, QWidget* widget, bool owned) {
  auto entry = std::make_shared<WindowEntry>();
  entry->object = object;
  entry->widget = widget;
  entry->owned = owned;
  std::lock_guard lock(mutex_);
  next_ += 4;
  entry->hwnd = next_;
  entries_.emplace(entry->hwnd, entry);
  return entry;
}

EntryPtr HandleTable::find(HWND hwnd) const {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(hwnd);
  return it == entries_.end() ? nullptr : it->second;
}

EntryPtr HandleTable::remove(HWND hwnd) {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(hwnd);
  if (it == entries_.end()) return nullptr;
  EntryPtr entry = std::move(it->second);
  entries_.erase(it);
  return entry;
}

WNDPROC HandleTable::proc(HWND hwnd) const {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(hwnd);
  return it == entries_.end() ? nullptr : it->second->proc;
}

bool HandleTable::readLong(HWND hwnd, int index, LONG_PTR* value) const {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(hwnd);
  if (it == entries_.end()) return false;
  if (index == GWL_WNDPROC) {
    *value = reinterpret_cast<LONG_PTR>(it->second->proc);
  } else if (index == GWL_USERDATA) {
    *value = it->second->user;
  } else {
    return false;
  }
  return true;
}

bool HandleTable::writeLong(HWND hwnd, int index, LONG_PTR value, LONG_PTR* previous) {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(hwnd);
  if (it == entries_.end()) return false;
  WindowEntry& e = *it->second;
  if (index == GWL_WNDPROC) {
    if (value == 0) return false;  // a window always has a procedure
    *previous = reinterpret_cast<LONG_PTR>(e.proc);
    e.proc = reinterpret_cast<WNDPROC>(value);
  } else if (index == GWL_USERDATA) {
    *previous = e.user;
    e.user = value;
  } else {
    return false;
  }
  return true;
}

}  // namespace pl::detail
