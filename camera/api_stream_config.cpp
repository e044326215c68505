// Stream configuration of a capture pin and media types.
#include <cstdlib>
#include <cstring>

#include "objects.h"
#include "rendered_graph.h"

using namespace pl::capture;

PL_BEGIN_C

void cg_StreamConfigRelease(CG_STREAMCONFIG* sc) { Objects::releaseHandle(sc, Kind::StreamConfig); }

HRESULT cg_StreamConfigGetNumberOfCapabilities(CG_STREAMCONFIG* handle, int* count, int* size) {
  if (!count || !size) return E_POINTER;
  return guarded([&] {
    const auto sc = lookup(handle);
    if (!sc) return E_HANDLE;
    *count = static_cast<int>(sc->source->device->caps.size());
    *size = static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS));
    return S_OK;
  });
}

HRESULT cg_StreamConfigGetStreamCaps(CG_STREAMCONFIG* handle, int index, AM_MEDIA_TYPE** mt, BYTE* caps) {
  if (!mt || !caps) return E_POINTER;
  *mt = nullptr;
  return guarded([&] {
    const auto sc = lookup(handle);
    if (!sc) return E_HANDLE;
    const auto& all = sc->source->device->caps;
    if (index < 0 || static_cast<size_t>(index) >= all.size()) return E_INVALIDARG;
    AM_MEDIA_TYPE* type = newMediaType(all[static_cast<size_t>(index)]);
    if (!type) return E_OUTOFMEMORY;
    VIDEO_STREAM_CONFIG_CAPS record;
    fillCapsRecord(all[static_cast<size_t>(index)], &record);
    std::memcpy(caps, &record, sizeof record);
    *mt = type;
    return S_OK;
  });
}

HRESULT cg_StreamConfigSetFormat(CG_STREAMCONFIG* handle, const AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  return guarded([&] {
    const auto sc = lookup(handle);
    if (!sc) return E_HANDLE;
    CG_FILTER& source = *sc->source;
    // The pin's format is fixed while a rendered stream runs from it.
    if (source.graph && source.graph->rendered && source.graph->rendered->uses(&source)) return E_UNEXPECTED;
    const auto& all = source.device->caps;
    for (size_t i = 0; i < all.size(); ++i) {
      if (describes(*mt, all[i])) {
        source.selected = static_cast<int>(i);
        return S_OK;
      }
    }
    return VFW_E_INVALIDMEDIATYPE;
  });
}

HRESULT cg_StreamConfigGetFormat(CG_STREAMCONFIG* handle, AM_MEDIA_TYPE** mt) {
  if (!mt) return E_POINTER;
  *mt = nullptr;
  return guarded([&] {
    const auto sc = lookup(handle);
    if (!sc) return E_HANDLE;
    const Capability* format = sc->source->format();
    if (!format) return VFW_E_NOT_CONNECTED;
    *mt = newMediaType(*format);
    return *mt ? S_OK : E_OUTOFMEMORY;
  });
}

void DeleteMediaType(AM_MEDIA_TYPE* mt) {
  if (!mt) return;
  std::free(mt->pbFormat);
  std::free(mt);
}

PL_END_C
