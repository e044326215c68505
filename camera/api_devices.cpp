// Device enumeration, device references, binding and virtual cameras.
#include <QString>
#include <algorithm>
#include <cstring>
#include <mutex>

#include "device_errors.h"
#include "gstreamer_init.h"
#include "objects.h"

using namespace pl::capture;

namespace {

// The device nodes of the latest listing, by position, for the advice on a
// unit's camera (the control numbers its cameras by listing position).
struct Listed {
  std::mutex mutex;
  std::vector<std::string> paths;
};
Listed& listed() {
  static auto* l = new Listed;
  return *l;
}

// Copies as much of `text` as fits in a caller's buffer of `size` (> 0)
// bytes, and a 0; with `wholeCharacters`, never a part of a UTF-8 character.
// Returns the number of bytes copied.
size_t copyText(const std::string& text, char* out, int size, bool wholeCharacters = false) {
  size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
  if (wholeCharacters)
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  std::memcpy(out, text.data(), n);
  out[n] = 0;
  return n;
}

}  // namespace

PL_BEGIN_C

HRESULT cg_CreateDeviceEnumerator(CG_DEVENUM** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return guarded([&] {
    auto e = makeObject<CG_DEVENUM>();
    e->devices = enumerateDevices();
    {
      std::lock_guard lock(listed().mutex);
      listed().paths.clear();
      for (const DevicePtr& d : e->devices) listed().paths.push_back(d->devicePath);
    }
    *out = e.detach();
    return S_OK;
  });
}

HRESULT cg_DeviceEnumNext(CG_DEVENUM* handle, CG_DEVICE** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return guarded([&] {
    const auto e = lookup(handle);
    if (!e) return E_HANDLE;
    if (e->next >= e->devices.size()) return S_FALSE;
    *out = makeObject<CG_DEVICE>(e->devices[e->next++]).detach();
    return S_OK;
  });
}

void cg_DeviceEnumRelease(CG_DEVENUM* e) { Objects::releaseHandle(e, Kind::Enumerator); }

void cg_DeviceAddRef(CG_DEVICE* d) {
  // The lookup's reference is the one added.
  lookup(d).detach();
}

void cg_DeviceRelease(CG_DEVICE* d) { Objects::releaseHandle(d, Kind::Device); }

int cg_DeviceFriendlyName(CG_DEVICE* handle, uint16_t* name, int max) {
  try {
    const auto d = lookup(handle);
    if (!d) return -1;
    const std::u16string& full = d->info->name;
    // Without room for a unit, the answer is the length the name needs.
    if (!name || max <= 0) return static_cast<int>(std::min<size_t>(full.size(), INT32_MAX));
    const size_t n = std::min(full.size(), static_cast<size_t>(max) - 1);
    std::copy_n(full.data(), n, name);
    name[n] = 0;
    return static_cast<int>(n);
  } catch (...) { return -1; }
}

int cg_DeviceDescription(CG_DEVICE* handle, char* text, int size) {
  try {
    const auto d = lookup(handle);
    if (!d) return -1;
    const std::string line = d->info->virtualCamera
                                 ? "\"" + QString::fromStdU16String(d->info->name).toStdString() + "\" virtual camera"
                                 : d->info->description;
    if (text && size > 0) copyText(line, text, size);
    return static_cast<int>(std::min<size_t>(line.size(), INT32_MAX));
  } catch (...) { return -1; }
}

HRESULT cg_DeviceBindSource(CG_DEVICE* handle, CG_FILTER** source) {
  if (!source) return E_POINTER;
  *source = nullptr;
  return guarded([&] {
    const auto d = lookup(handle);
    if (!d) return E_HANDLE;
    DevicePtr bound;
    CapsPtr offered;
    if (const HRESULT hr = bindDevice(d->info, &bound, &offered); FAILED(hr)) return hr;
    auto filter = makeObject<CG_FILTER>(std::move(bound));
    filter->offered = std::move(offered);
    *source = filter.detach();
    return S_OK;
  });
}

void cg_FilterRelease(CG_FILTER* f) { Objects::releaseHandle(f, Kind::Filter); }

int cg_RelistGoneCameras(void) {
  try {
    return ensureGstreamer() && relistGoneCameras() ? 1 : 0;
  } catch (...) { return 0; }
}

HRESULT cg_SetVirtualCameras(const CG_VCAM_SPEC* specs, int count) {
  return guarded([&] { return setVirtualCameras(specs, count); });
}

int cg_ListedCameraAdvice(int position, char* text, int size) {
  if (!text || size <= 0) return 0;
  text[0] = 0;
  try {
    std::string path;
    {
      std::lock_guard lock(listed().mutex);
      if (position < 0 || static_cast<size_t>(position) >= listed().paths.size()) return 0;
      path = listed().paths[static_cast<size_t>(position)];
    }
    const std::string advice = path.empty() ? std::string() : deviceErrorAdvice(lastDeviceError(path));
    return static_cast<int>(copyText(advice, text, size, /*wholeCharacters=*/true));
  } catch (...) { return 0; }
}

int cg_ForbiddenVideoNodes(char* text, int size) {
  try {
    const std::vector<std::string> found = forbiddenNodes();
    std::string joined;
    for (const std::string& n : found) joined += (joined.empty() ? "" : "\n") + n;
    if (text && size > 0) copyText(joined, text, size);
    return static_cast<int>(found.size());
  } catch (...) {
    if (text && size > 0) text[0] = 0;
    return 0;
  }
}

PL_END_C
