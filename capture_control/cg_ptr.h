// Owning pointers for the capture graph service's objects.
#pragma once
#include <memory>

#include "camera/capture.h"

namespace korvex {

template <class T, void (*Release)(T*)>
struct CgDeleter {
  void operator()(T* p) const { Release(p); }
};
template <class T, void (*Release)(T*)>
using CgPtr = std::unique_ptr<T, CgDeleter<T, Release>>;

using DeviceEnumPtr = CgPtr<CG_DEVENUM, cg_DeviceEnumRelease>;
using DevicePtr = CgPtr<CG_DEVICE, cg_DeviceRelease>;
using FilterPtr = CgPtr<CG_FILTER, cg_FilterRelease>;
using GraphPtr = CgPtr<CG_GRAPH, cg_GraphRelease>;
using BuilderPtr = CgPtr<CG_BUILDER, cg_BuilderRelease>;
using StreamConfigPtr = CgPtr<CG_STREAMCONFIG, cg_StreamConfigRelease>;
using MediaTypePtr = CgPtr<AM_MEDIA_TYPE, DeleteMediaType>;

// A new reference to `d`.
inline DevicePtr shareDevice(CG_DEVICE* d) {
  if (d) cg_DeviceAddRef(d);
  return DevicePtr(d);
}

}  // namespace korvex
