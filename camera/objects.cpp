#include "objects.h"

#include <mutex>
#include <unordered_map>

#include "grabber.h"

namespace pl::capture {

namespace {

struct Registry {
  std::mutex mutex;
  std::unordered_map<const void*, Object*> live;  // keyed by the handle value
};

// Never destroyed: objects may be released while the process exits.
Registry& registry() {
  static auto* r = new Registry;
  return *r;
}

// Drops one reference of a live object; true when it was the last.
}  // namespace

bool Objects::dropLocked(Object* object) {
  if (--object->refs_ > 0) return false;
  registry().live.erase(object->key_);
  return true;
}

void Objects::add(const void* key, Object* object) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  object->key_ = key;
  r.live.emplace(key, object);
}

bool Objects::acquire(const void* p, Kind kind) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  const auto it = r.live.find(p);
  if (it == r.live.end() || it->second->kind_ != kind) return false;
  ++it->second->refs_;
  return true;
}

void Objects::addRef(Object* object) {
  std::lock_guard lock(registry().mutex);
  ++object->refs_;
}

void Objects::release(Object* object) {
  Registry& r = registry();
  bool last = false;
  {
    std::lock_guard lock(r.mutex);
    last = dropLocked(object);
  }
  if (last) delete object;
}

void Objects::releaseHandle(const void* p, Kind kind) {
  Registry& r = registry();
  Object* doomed = nullptr;
  {
    std::lock_guard lock(r.mutex);
    const auto it = r.live.find(p);
    if (it == r.live.end() || it->second->kind_ != kind) return;
    Object* object = it->second;
    if (dropLocked(object)) doomed = object;
  }
  delete doomed;
}

}  // namespace pl::capture

using pl::capture::Capability;

CG_FILTER::CG_FILTER(pl::capture::DevicePtr d) : Object(kKind), device(std::move(d)) {}
CG_FILTER::CG_FILTER() : Object(kKind), grabber(std::make_unique<pl::capture::GrabberState>()) {}
CG_FILTER::~CG_FILTER() = default;

const Capability* CG_FILTER::format() const {
  if (!device || device->caps.empty()) return nullptr;
  const size_t index = selected >= 0 ? static_cast<size_t>(selected) : 0;
  return index < device->caps.size() ? &device->caps[index] : nullptr;
}
