// Hosting a control: create it by class id, site it on the host's window,
// connect the host's event sink; and the module-path lookup servers use to
// register themselves.
#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/com.h"

namespace {

template <class T>
void release(T*& p) {
  if (p != nullptr) p->lpVtbl->Release(p);
  p = nullptr;
}

}  // namespace

PL_API HRESULT pl_CreateControl(REFCLSID clsid, HWND host, IDispatch* sink, IDispatch** control, HWND* controlWindow) {
  if (control == nullptr) return E_POINTER;
  *control = nullptr;
  if (controlWindow != nullptr) *controlWindow = 0;

  IUnknown* unknown = nullptr;
  HRESULT hr =
      CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, &IID_IUnknown, reinterpret_cast<void**>(&unknown));
  if (FAILED(hr)) return hr;
  if (unknown == nullptr) return E_UNEXPECTED;

  IOleControlSite* site = nullptr;
  IDispatch* dispatch = nullptr;
  HWND window = 0;
  hr = unknown->lpVtbl->QueryInterface(unknown, &IID_IOleControlSite, reinterpret_cast<void**>(&site));
  if (SUCCEEDED(hr) && site == nullptr) hr = E_NOINTERFACE;
  if (SUCCEEDED(hr)) hr = site->lpVtbl->SetSite(site, host, &window);
  if (SUCCEEDED(hr) && sink != nullptr) hr = site->lpVtbl->Advise(site, sink);
  if (SUCCEEDED(hr)) {
    hr = unknown->lpVtbl->QueryInterface(unknown, &IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    if (SUCCEEDED(hr) && dispatch == nullptr) hr = E_NOINTERFACE;
  }
  if (FAILED(hr)) {
    if (site != nullptr) {
      site->lpVtbl->Unadvise(site);
      site->lpVtbl->Close(site);
    }
    release(dispatch);
    release(site);
    release(unknown);
    return hr;
  }
  release(site);
  release(unknown);
  *control = dispatch;
  if (controlWindow != nullptr) *controlWindow = window;
  return S_OK;
}

PL_API void pl_ReleaseControl(IDispatch* control) {
  if (control == nullptr) return;
  IOleControlSite* site = nullptr;
  if (SUCCEEDED(control->lpVtbl->QueryInterface(control, &IID_IOleControlSite, reinterpret_cast<void**>(&site))) &&
      site != nullptr) {
    site->lpVtbl->Unadvise(site);
    site->lpVtbl->Close(site);
    site->lpVtbl->Release(site);
  }
  control->lpVtbl->Release(control);
}

PL_API int pl_ModulePath(const void* address, char* buffer, int max) {
  if (address == nullptr || buffer == nullptr || max <= 0) return 0;
  try {
    Dl_info info{};
    struct link_map* map = nullptr;
    if (::dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) return 0;
    // The main program's entry has an empty name; it is found through /proc.
    bool isMain = map == nullptr || map->l_name == nullptr || map->l_name[0] == '\0';
    std::string path = isMain ? std::string() : std::string(map->l_name);
    if (isMain) {
      char exe[PATH_MAX];
      ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
      if (n <= 0) return 0;
      path.assign(exe, static_cast<size_t>(n));
    } else if (path[0] != '/') {
      char* resolved = ::realpath(path.c_str(), nullptr);
      if (resolved == nullptr) return 0;
      path = resolved;
      std::free(resolved);
    }
    if (path.size() + 1 > static_cast<size_t>(max)) return 0;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<int>(path.size());
  } catch (...) { return 0; }
}
