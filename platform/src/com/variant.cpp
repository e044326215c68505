// Strings and variants that cross between host and server. Both sides
// allocate and free through these, so one allocator owns every string.
#include <cstdlib>
#include <cstring>

#include "platform/com.h"

PL_API BSTR SysAllocString(const char* text) {
  if (text == nullptr) return nullptr;
  size_t n = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(std::malloc(n));
  if (copy != nullptr) std::memcpy(copy, text, n);
  return copy;
}

PL_API void SysFreeString(BSTR text) { std::free(text); }

PL_API void VariantInit(VARIANT* v) {
  if (v != nullptr) std::memset(v, 0, sizeof *v);
}

PL_API HRESULT VariantClear(VARIANT* v) {
  if (v == nullptr) return E_INVALIDARG;
  if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);  // by-reference values belong to the caller
  std::memset(v, 0, sizeof *v);
  return S_OK;
}
