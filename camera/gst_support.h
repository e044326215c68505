// GStreamer plumbing shared by the capture graph service: owning pointers for
// GStreamer objects (its start-up is gstreamer_init.h).
#pragma once
#include <gst/gst.h>

#include <memory>

namespace pl::capture {

struct GstObjectUnref {
  void operator()(void* object) const {
    if (object) gst_object_unref(object);
  }
};
// Owns one reference of a GstObject (element, pad, bus, device, provider).
template <class T>
using GstPtr = std::unique_ptr<T, GstObjectUnref>;

// Takes ownership of a newly made object, sinking a floating reference.
template <class T>
GstPtr<T> adoptFloating(T* object) {
  return GstPtr<T>(object ? static_cast<T*>(gst_object_ref_sink(object)) : nullptr);
}

struct GstCapsUnref {
  void operator()(GstCaps* caps) const {
    if (caps) gst_caps_unref(caps);
  }
};
using CapsPtr = std::unique_ptr<GstCaps, GstCapsUnref>;

struct GstStructureFree {
  void operator()(GstStructure* s) const {
    if (s) gst_structure_free(s);
  }
};
using StructurePtr = std::unique_ptr<GstStructure, GstStructureFree>;

struct GFreeDeleter {
  void operator()(void* p) const { g_free(p); }
};
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;

}  // namespace pl::capture
