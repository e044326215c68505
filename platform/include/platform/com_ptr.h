// RAII for the component model's C interfaces and variants.
#pragma once
#include <cstdint>
#include <string>
#include <utility>

#include "platform/com.h"

namespace pl {

// Owns one reference to any interface of com.h (any struct whose vtable
// starts with QueryInterface, AddRef, Release).
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes over a reference the caller owns.
  static ComPtr attach(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  // Adds a reference of its own.
  static ComPtr share(T* p) {
    if (p != nullptr) p->lpVtbl->AddRef(p);
    return attach(p);
  }
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_ != nullptr) p_->lpVtbl->AddRef(p_);
  }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() { reset(); }

  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->lpVtbl->Release(p);
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T* detach() { return std::exchange(p_, nullptr); }
  // For out-parameters: releases the current reference first.
  T** put() {
    reset();
    return &p_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }

  // QueryInterface; empty when the object lacks the interface.
  template <class U>
  ComPtr<U> as(REFIID iid, HRESULT* result = nullptr) const {
    ComPtr<U> out;
    HRESULT hr = p_ != nullptr ? p_->lpVtbl->QueryInterface(p_, iid, out.putVoid()) : E_POINTER;
    if (FAILED(hr)) out.detach();  // a failing callee may leave garbage behind
    if (result != nullptr) *result = hr;
    return out;
  }

 private:
  T* p_ = nullptr;
};

// Owns one VARIANT: a 32-bit integer, a by-reference integer (the caller keeps
// the integer alive) or a string (copied).
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(int32_t value) : Variant() {
    v_.vt = VT_I4;
    v_.lVal = value;
  }
  Variant(int32_t* ref) : Variant() {
    v_.vt = VT_BYREF | VT_I4;
    v_.plVal = ref;
  }
  Variant(const char* text) : Variant() { setString(text); }
  Variant(const std::string& text) : Variant() { setString(text.c_str()); }
  // Copies `raw` (strings are duplicated).
  static Variant copyOf(const VARIANT& raw) {
    Variant v;
    if (raw.vt == VT_BSTR)
      v.setString(raw.bstrVal != nullptr ? raw.bstrVal : "");
    else if (raw.vt == VT_I4 || raw.vt == (VT_BYREF | VT_I4))
      v.v_ = raw;
    return v;
  }
  Variant(const Variant& o) : Variant() { *this = copyOf(o.v_); }
  Variant(Variant&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }
  Variant& operator=(const Variant& o) {
    if (this != &o) *this = copyOf(o.v_);
    return *this;
  }
  Variant& operator=(Variant&& o) noexcept {
    if (this != &o) {
      VariantClear(&v_);
      v_ = o.v_;
      VariantInit(&o.v_);
    }
    return *this;
  }
  ~Variant() { VariantClear(&v_); }

  VARTYPE type() const { return v_.vt; }
  bool isInt() const { return v_.vt == VT_I4 || (v_.vt == (VT_BYREF | VT_I4) && v_.plVal != nullptr); }
  bool isString() const { return v_.vt == VT_BSTR; }
  int32_t toInt(int32_t fallback = 0) const {
    if (v_.vt == VT_I4) return v_.lVal;
    if (v_.vt == (VT_BYREF | VT_I4) && v_.plVal != nullptr) return *v_.plVal;
    return fallback;
  }
  std::string toString() const {
    return v_.vt == VT_BSTR && v_.bstrVal != nullptr ? std::string(v_.bstrVal) : std::string();
  }

  const VARIANT* get() const { return &v_; }
  // For out-parameters: clears the current value first.
  VARIANT* put() {
    VariantClear(&v_);
    return &v_;
  }

 private:
  void setString(const char* text) {
    v_.bstrVal = SysAllocString(text != nullptr ? text : "");
    v_.vt = v_.bstrVal != nullptr ? VT_BSTR : VT_EMPTY;
  }
  VARIANT v_;
};

}  // namespace pl
