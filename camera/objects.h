// The service's objects behind the opaque handles of capture.h. Every object
// is registered while alive, so handles are checked before use: an unknown,
// released or mistyped handle is refused instead of dereferenced.
//
// Reference counts are kept under the registry's lock, which also makes a
// lookup and the last release of the same object safe against each other.
#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "camera/capture.h"
#include "devices.h"
#include "guarded.h"

namespace pl::capture {

class GrabberState;
class RenderedGraph;

enum class Kind { Enumerator, Device, Filter, Graph, Builder, StreamConfig };

class Object {
 public:
  explicit Object(Kind kind) : kind_(kind) {}
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

 private:
  friend class Objects;
  const Kind kind_;
  const void* key_ = nullptr;  // the handle value
  long refs_ = 1;              // guarded by the registry lock
};

class Objects {
 public:
  // Registers a new object under its handle value `key`.
  static void add(const void* key, Object* object);
  // Adds a reference when `p` is a live object of `kind`.
  static bool acquire(const void* p, Kind kind);
  static void addRef(Object* object);
  // Drops a reference; the last one deletes the object (outside the lock).
  static void release(Object* object);
  // release() for a handle from outside: ignored unless live and of `kind`.
  static void releaseHandle(const void* p, Kind kind);

 private:
  static bool dropLocked(Object* object);
};

// An owning reference to an object.
template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}
  // Takes over one reference the caller already owns.
  static Ref adopt(T* p) {
    Ref r;
    r.p_ = p;
    return r;
  }
  Ref(const Ref& o) : p_(o.p_) {
    if (p_) Objects::addRef(p_);
  }
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Ref& operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Ref() {
    if (p_) Objects::release(p_);
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Hands the reference to the caller (a handle given out).
  T* detach() { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

template <class T, class... Args>
Ref<T> makeObject(Args&&... args) {
  T* object = new T(std::forward<Args>(args)...);
  Objects::add(static_cast<const void*>(object), object);
  return Ref<T>::adopt(object);
}

// The live object behind a handle, or null.
template <class T>
Ref<T> lookup(T* handle) {
  return handle && Objects::acquire(handle, T::kKind) ? Ref<T>::adopt(handle) : Ref<T>();
}

}  // namespace pl::capture

struct CG_DEVENUM final : pl::capture::Object {
  static constexpr pl::capture::Kind kKind = pl::capture::Kind::Enumerator;
  CG_DEVENUM() : Object(kKind) {}
  std::vector<pl::capture::DevicePtr> devices;
  size_t next = 0;
};

struct CG_DEVICE final : pl::capture::Object {
  static constexpr pl::capture::Kind kKind = pl::capture::Kind::Device;
  explicit CG_DEVICE(pl::capture::DevicePtr d) : Object(kKind), info(std::move(d)) {}
  const pl::capture::DevicePtr info;
};

// A source filter (a bound device) or a sample grabber.
struct CG_FILTER final : pl::capture::Object {
  static constexpr pl::capture::Kind kKind = pl::capture::Kind::Filter;
  explicit CG_FILTER(pl::capture::DevicePtr d);  // source
  CG_FILTER();                                   // sample grabber
  ~CG_FILTER() override;

  bool isSource() const { return device != nullptr; }
  // The source's format in force: the one set, else the first capability.
  const pl::capture::Capability* format() const;

  const pl::capture::DevicePtr device;  // sources only
  int selected = -1;                    // sources: capability set, -1 none
  pl::capture::CapsPtr offered;         // real sources: what the camera offered when bound (null: not asked)
  const std::unique_ptr<pl::capture::GrabberState> grabber;  // grabbers only
  CG_GRAPH* graph = nullptr;                                 // the graph it was added to (which holds a reference)
};

struct CG_GRAPH final : pl::capture::Object {
  static constexpr pl::capture::Kind kKind = pl::capture::Kind::Graph;
  CG_GRAPH();
  ~CG_GRAPH() override;
  // Ends the rendered pipeline, if any: streaming has stopped when this returns.
  void unrender();

  std::vector<pl::capture::Ref<CG_FILTER>> filters;
  std::unique_ptr<pl::capture::RenderedGraph> rendered;
};

struct CG_BUILDER final : pl::capture::Object {
  static constexpr pl::capture::Kind kKind = pl::capture::Kind::Builder;
  CG_BUILDER() : Object(kKind) {}
  pl::capture::Ref<CG_GRAPH> graph;
};

struct CG_STREAMCONFIG final : pl::capture::Object {
  static constexpr pl::capture::Kind kKind = pl::capture::Kind::StreamConfig;
  explicit CG_STREAMCONFIG(pl::capture::Ref<CG_FILTER> s) : Object(kKind), source(std::move(s)) {}
  const pl::capture::Ref<CG_FILTER> source;
};
