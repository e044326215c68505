// Host-side helpers: an event sink over a std::function, and a control
// created by class id, sited on a host window and called by dispatch number.
// UI thread only, like the controls themselves.
#pragma once
#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/com.h"
#include "platform/com_ptr.h"

namespace pl {

// The host's event interface: every Invoke goes to the handler.
class EventSink {
 public:
  using Handler = std::function<void(DISPID id, const VARIANT* args, UINT argc)>;

  static ComPtr<IDispatch> create(Handler handler) {
    auto* sink = new EventSink(std::move(handler));
    return ComPtr<IDispatch>::attach(&sink->part_.iface);
  }

 private:
  struct Part {
    IDispatch iface;
    EventSink* owner;
  };
  explicit EventSink(Handler handler) : handler_(std::move(handler)) {
    part_.iface.lpVtbl = &kVtbl;
    part_.owner = this;
  }
  static EventSink* from(IDispatch* s) { return reinterpret_cast<Part*>(s)->owner; }

  static HRESULT query(IDispatch* s, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == nullptr || (!IsEqualGUID(iid, &IID_IUnknown) && !IsEqualGUID(iid, &IID_IDispatch))) return E_NOINTERFACE;
    ++from(s)->refs_;
    *out = s;
    return S_OK;
  }
  static ULONG addRef(IDispatch* s) { return ++from(s)->refs_; }
  static ULONG release(IDispatch* s) {
    EventSink* self = from(s);
    ULONG n = --self->refs_;
    if (n == 0) delete self;
    return n;
  }
  static HRESULT invoke(IDispatch* s, DISPID id, const VARIANT* args, UINT argc, VARIANT* result) {
    if (result != nullptr) VariantInit(result);
    if (argc > 0 && args == nullptr) return E_POINTER;
    EventSink* self = from(s);
    try {
      ++self->refs_;  // the handler may drop the host's reference
      struct Drop {
        IDispatch* s;
        ~Drop() { release(s); }
      } drop{s};
      if (self->handler_) self->handler_(id, args, argc);
      return S_OK;
    } catch (...) { return DISP_E_EXCEPTION; }
  }

  static constexpr IDispatchVtbl kVtbl = {&query, &addRef, &release, &invoke};

  Part part_;
  std::atomic<ULONG> refs_{1};
  Handler handler_;
};

// One control hosted on a window: created by class id, sited hidden on the
// host, its events going to a handler; released (sink disconnected, control
// closed) on destruction.
class HostedControl {
 public:
  using Handler = EventSink::Handler;

  HostedControl() = default;
  ~HostedControl() { release(); }
  HostedControl(const HostedControl&) = delete;
  HostedControl& operator=(const HostedControl&) = delete;
  HostedControl(HostedControl&& o) noexcept { swap(o); }
  HostedControl& operator=(HostedControl&& o) noexcept {
    if (this != &o) {
      release();
      swap(o);
    }
    return *this;
  }

  HRESULT create(REFCLSID clsid, HWND host, Handler onEvent = {}) {
    release();
    ComPtr<IDispatch> sink = onEvent ? EventSink::create(std::move(onEvent)) : ComPtr<IDispatch>();
    IDispatch* control = nullptr;
    HRESULT hr = pl_CreateControl(clsid, host, sink.get(), &control, &window_);
    if (FAILED(hr)) return hr;
    control_ = control;
    sink_ = std::move(sink);
    return hr;
  }

  void release() {
    if (IDispatch* c = std::exchange(control_, nullptr)) pl_ReleaseControl(c);
    sink_.reset();
    window_ = 0;
  }

  explicit operator bool() const { return control_ != nullptr; }
  IDispatch* dispatch() const { return control_; }
  HWND window() const { return window_; }

  HRESULT invoke(DISPID id, const std::vector<Variant>& args = {}, Variant* result = nullptr) {
    if (control_ == nullptr) return last_ = E_HANDLE;
    std::vector<VARIANT> raw;
    raw.reserve(args.size());
    for (const auto& a : args) raw.push_back(*a.get());
    last_ = control_->lpVtbl->Invoke(control_, id, raw.data(), static_cast<UINT>(raw.size()),
                                     result != nullptr ? result->put() : nullptr);
    return last_;
  }
  // The integer result, 0 when the call fails (lastResult() tells why).
  template <class... A>
  int32_t callInt(DISPID id, A&&... args) {
    Variant result;
    invoke(id, {Variant(std::forward<A>(args))...}, &result);
    return SUCCEEDED(last_) ? result.toInt() : 0;
  }
  template <class... A>
  std::string callString(DISPID id, A&&... args) {
    Variant result;
    invoke(id, {Variant(std::forward<A>(args))...}, &result);
    return SUCCEEDED(last_) ? result.toString() : std::string();
  }
  HRESULT lastResult() const { return last_; }

 private:
  void swap(HostedControl& o) noexcept {
    std::swap(control_, o.control_);
    std::swap(sink_, o.sink_);
    std::swap(window_, o.window_);
    std::swap(last_, o.last_);
  }

  IDispatch* control_ = nullptr;
  ComPtr<IDispatch> sink_;
  HWND window_ = 0;
  HRESULT last_ = S_OK;
};

}  // namespace pl
