// Component runtime: class ids, apartment bookkeeping and in-process server
// loading. A server, once loaded, stays loaded for the life of the process:
// controls may leave posted messages and timers behind that still point into it.
#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "com/registry_internal.h"
#include "platform/com.h"

PL_BEGIN_C
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// Ours: {682AB70F-D672-4599-90C3-0E78FC58846F}.
const IID IID_IOleControlSite = {0x682AB70F, 0xD672, 0x4599, {0x90, 0xC3, 0x0E, 0x78, 0xFC, 0x58, 0x84, 0x6F}};
PL_END_C

namespace {

thread_local int tApartmentCount = 0;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hex digits at text[pos].
bool readHex(const char* text, size_t pos, int digits, uint32_t* out) {
  uint32_t v = 0;
  for (int i = 0; i < digits; ++i) {
    int h = hexValue(text[pos + static_cast<size_t>(i)]);
    if (h < 0) return false;
    v = (v << 4) | static_cast<uint32_t>(h);
  }
  *out = v;
  return true;
}

bool readDefault(const std::string& key, std::string& out) {
  auto path = pl::reg::splitPath(key);
  if (!path) return false;
  LONG rc = pl::reg::transact(false, [&](pl::reg::Key& root, bool&) -> LONG {
    const pl::reg::Key* k = pl::reg::find(root, *path);
    const pl::reg::Value* v = k != nullptr ? pl::reg::findValue(*k, "") : nullptr;
    if (v == nullptr) return ERROR_FILE_NOT_FOUND;
    out = v->data;
    return ERROR_SUCCESS;
  });
  return rc == ERROR_SUCCESS;
}

struct Modules {
  std::mutex mutex;
  std::map<std::string, void*> loaded;
};

Modules& modules() {
  static Modules* m = new Modules;  // never destroyed: servers stay loaded
  return *m;
}

HRESULT loadServer(const std::string& path, void** handle) {
  Modules& m = modules();
  std::lock_guard<std::mutex> lock(m.mutex);
  auto it = m.loaded.find(path);
  if (it != m.loaded.end()) {
    *handle = it->second;
    return S_OK;
  }
  struct stat st {};
  if (path.empty() || (path.find('/') != std::string::npos && ::stat(path.c_str(), &st) != 0)) return CO_E_DLLNOTFOUND;
  void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (h == nullptr) {
    const char* error = ::dlerror();
    std::fprintf(stderr, "platform: cannot load %s: %s\n", path.c_str(), error != nullptr ? error : "?");
    return path.find('/') == std::string::npos ? CO_E_DLLNOTFOUND : CO_E_ERRORINDLL;
  }
  m.loaded.emplace(path, h);
  *handle = h;
  return S_OK;
}

}  // namespace

PL_API BOOL IsEqualGUID(REFGUID a, REFGUID b) {
  if (a == nullptr || b == nullptr) return a == b ? TRUE : FALSE;
  return a->Data1 == b->Data1 && a->Data2 == b->Data2 && a->Data3 == b->Data3 &&
                 std::memcmp(a->Data4, b->Data4, sizeof a->Data4) == 0
             ? TRUE
             : FALSE;
}

PL_API int StringFromGUID2(REFGUID guid, char* buffer, int max) {
  if (guid == nullptr || buffer == nullptr || max < 39) return 0;
  std::snprintf(buffer, static_cast<size_t>(max), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(guid->Data1), static_cast<unsigned>(guid->Data2),
                static_cast<unsigned>(guid->Data3), guid->Data4[0], guid->Data4[1], guid->Data4[2], guid->Data4[3],
                guid->Data4[4], guid->Data4[5], guid->Data4[6], guid->Data4[7]);
  return 39;
}

PL_API HRESULT CLSIDFromString(const char* text, CLSID* out) {
  if (out == nullptr) return E_POINTER;
  std::memset(out, 0, sizeof *out);
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  if (text == nullptr || std::strlen(text) != 38 || text[0] != '{' || text[9] != '-' || text[14] != '-' ||
      text[19] != '-' || text[24] != '-' || text[37] != '}')
    return E_INVALIDARG;
  uint32_t d1, d2, d3, b;
  if (!readHex(text, 1, 8, &d1) || !readHex(text, 10, 4, &d2) || !readHex(text, 15, 4, &d3)) return E_INVALIDARG;
  GUID g{};
  g.Data1 = d1;
  g.Data2 = static_cast<uint16_t>(d2);
  g.Data3 = static_cast<uint16_t>(d3);
  static const size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!readHex(text, kBytePos[i], 2, &b)) return E_INVALIDARG;
    g.Data4[i] = static_cast<uint8_t>(b);
  }
  *out = g;
  return S_OK;
}

PL_API HRESULT CLSIDFromProgID(const char* progId, CLSID* out) {
  if (out == nullptr) return E_POINTER;
  std::memset(out, 0, sizeof *out);
  if (progId == nullptr || *progId == '\0' || std::strchr(progId, '\\') != nullptr) return E_INVALIDARG;
  try {
    std::string text;
    if (!readDefault(std::string(progId) + "\\CLSID", text)) return REGDB_E_CLASSNOTREG;
    return SUCCEEDED(CLSIDFromString(text.c_str(), out)) ? S_OK : REGDB_E_CLASSNOTREG;
  } catch (...) { return E_OUTOFMEMORY; }
}

PL_API HRESULT CoInitialize(void*) { return tApartmentCount++ == 0 ? S_OK : S_FALSE; }

PL_API void CoUninitialize(void) {
  if (tApartmentCount > 0) --tApartmentCount;
}

PL_API HRESULT CoGetClassObject(REFCLSID clsid, DWORD, void*, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid == nullptr || iid == nullptr) return E_INVALIDARG;
  try {
    char text[40];
    StringFromGUID2(clsid, text, sizeof text);
    std::string path;
    if (!readDefault(std::string("CLSID\\") + text + "\\InprocServer32", path)) return REGDB_E_CLASSNOTREG;
    void* handle = nullptr;
    HRESULT hr = loadServer(path, &handle);
    if (FAILED(hr)) return hr;
    auto entry = reinterpret_cast<PFN_DllGetClassObject>(::dlsym(handle, "DllGetClassObject"));
    if (entry == nullptr) return CO_E_ERRORINDLL;
    hr = entry(clsid, iid, out);
    if (FAILED(hr)) *out = nullptr;
    return hr;
  } catch (...) { return E_OUTOFMEMORY; }
}

PL_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(clsid, context, nullptr, &IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  if (factory == nullptr) return E_UNEXPECTED;
  hr = factory->lpVtbl->CreateInstance(factory, nullptr, iid, out);
  factory->lpVtbl->Release(factory);
  if (FAILED(hr)) *out = nullptr;
  return hr;
}
