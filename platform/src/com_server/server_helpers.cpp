// The server's object and lock counts and the argument helpers of Invoke.
#include "platform/com_server.h"

namespace pl {
namespace server {

std::atomic<long> objects{0};
std::atomic<long> locks{0};

HRESULT canUnloadNow() { return objects.load() == 0 && locks.load() == 0 ? S_OK : S_FALSE; }

std::string modulePath() {
  char buffer[4096];
  int n = pl_ModulePath(&objects, buffer, sizeof buffer);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

}  // namespace server

void Args::expect(UINT n) const {
  if (argc_ != n) throw DispError{DISP_E_BADPARAMCOUNT};
}

int32_t Args::i4(UINT i) const {
  const VARIANT& v = at(i);
  if (v.vt == VT_I4) return v.lVal;
  if (v.vt == (VT_BYREF | VT_I4) && v.plVal != nullptr) return *v.plVal;
  throw DispError{DISP_E_TYPEMISMATCH};
}

int32_t* Args::ref(UINT i) const {
  const VARIANT& v = at(i);
  if (v.vt == (VT_BYREF | VT_I4) && v.plVal != nullptr) return v.plVal;
  throw DispError{DISP_E_TYPEMISMATCH};
}

std::string Args::str(UINT i) const {
  const VARIANT& v = at(i);
  if (v.vt != VT_BSTR) throw DispError{DISP_E_TYPEMISMATCH};
  return v.bstrVal != nullptr ? std::string(v.bstrVal) : std::string();
}

const VARIANT& Args::at(UINT i) const {
  if (i >= argc_) throw DispError{DISP_E_BADPARAMCOUNT};
  return args_[i];
}

HRESULT returnInt(VARIANT* result, int32_t value) {
  if (result != nullptr) {
    VariantClear(result);
    result->vt = VT_I4;
    result->lVal = value;
  }
  return S_OK;
}

HRESULT returnString(VARIANT* result, const std::string& value) {
  if (result != nullptr) {
    VariantClear(result);
    result->bstrVal = SysAllocString(value.c_str());
    if (result->bstrVal == nullptr) return E_OUTOFMEMORY;
    result->vt = VT_BSTR;
  }
  return S_OK;
}

}  // namespace pl
