// pl::ControlBase: reference counting, the interfaces' thunks, the control's
// window, event delivery and the deferred close.
#include "platform/com_server.h"
#include "platform/qt_bridge.h"

namespace pl {

ControlBase::ControlBase() {
  unknown_.iface.lpVtbl = &kUnknownVtbl;
  dispatch_.iface.lpVtbl = &kDispatchVtbl;
  site_.iface.lpVtbl = &kSiteVtbl;
  unknown_.owner = dispatch_.owner = site_.owner = this;
  ++server::objects;
}

ControlBase::~ControlBase() {
  destroyWindow();
  --server::objects;
}

HRESULT ControlBase::fireEvent(DISPID id, std::vector<Variant> args) {
  if (!pl::onUiThread()) {
    {
      std::lock_guard<std::mutex> lock(pendingMutex_);
      pending_.emplace_back(id, std::move(args));
    }
    HWND w = window_.load();
    return w != 0 && PostMessageA(w, kFireEventMessage, 0, 0) ? S_OK : E_FAIL;
  }
  ComPtr<IDispatch> sink = sink_;
  if (!sink) return S_FALSE;
  std::vector<VARIANT> raw;
  raw.reserve(args.size());
  for (const auto& a : args) raw.push_back(*a.get());
  return sink->lpVtbl->Invoke(sink.get(), id, raw.data(), static_cast<UINT>(raw.size()), nullptr);
}

ULONG ControlBase::release() {
  ULONG n = --refs_;
  if (n == 0) delete this;
  return n;
}

HRESULT ControlBase::query(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid == nullptr) return E_INVALIDARG;
  if (IsEqualGUID(iid, &IID_IUnknown))
    *out = &unknown_.iface;
  else if (IsEqualGUID(iid, &IID_IDispatch))
    *out = &dispatch_.iface;
  else if (IsEqualGUID(iid, &IID_IOleControlSite))
    *out = &site_.iface;
  else
    return E_NOINTERFACE;
  addRef();
  return S_OK;
}

void ControlBase::destroyWindow() {
  if (HWND w = window_.exchange(0)) {
    SetWindowLongA(w, GWL_USERDATA, 0);  // late messages no longer reach us
    DestroyWindow(w);
  }
}

void ControlBase::firePending() {
  std::vector<std::pair<DISPID, std::vector<Variant>>> batch;
  {
    std::lock_guard<std::mutex> lock(pendingMutex_);
    batch.swap(pending_);
  }
  for (auto& [id, args] : batch) fireEvent(id, std::move(args));
}

void ControlBase::close() {
  if (window_ != 0) onClose();
  destroyWindow();
}

LRESULT ControlBase::wndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<ControlBase*>(GetWindowLongA(hwnd, GWL_USERDATA));
  if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
  try {
    Hold hold(self);
    if (msg == kFireEventMessage) {
      self->firePending();
      return 0;
    }
    const LRESULT result = self->windowProc(msg, wParam, lParam);
    if (self->closeDeferred_ && !self->busyInWindowProc()) {
      self->closeDeferred_ = false;
      self->close();
    }
    return result;
  } catch (...) { return 0; }
}

HRESULT ControlBase::dispInvoke(IDispatch* s, DISPID id, const VARIANT* args, UINT argc, VARIANT* result) {
  if (result != nullptr) VariantInit(result);
  if (argc > 0 && args == nullptr) return E_POINTER;
  ControlBase* self = from(s);
  try {
    Hold hold(self);
    return self->invoke(id, args, argc, result);
  } catch (const DispError& e) {
    if (result != nullptr) VariantClear(result);
    return e.code;
  } catch (...) {
    if (result != nullptr) VariantClear(result);
    return DISP_E_EXCEPTION;
  }
}

HRESULT ControlBase::siteSetSite(IOleControlSite* s, HWND host, HWND* controlWindow) {
  ControlBase* self = from(s);
  if (controlWindow != nullptr) *controlWindow = 0;
  try {
    Hold hold(self);
    self->destroyWindow();
    // Without a host the control still gets a window for its timers and messages.
    self->window_ = host != 0 ? pl_CreateChildWindow(host, &wndProc, reinterpret_cast<LONG_PTR>(self))
                              : pl_CreateMessageWindow(&wndProc, reinterpret_cast<LONG_PTR>(self));
    if (self->window_ == 0) return host != 0 ? E_HANDLE : E_FAIL;
    self->host_ = host;
    self->onSited();
    if (controlWindow != nullptr) *controlWindow = self->window_.load();
    return S_OK;
  } catch (...) { return E_FAIL; }
}

HRESULT ControlBase::siteAdvise(IOleControlSite* s, IDispatch* sink) {
  if (sink == nullptr) return E_POINTER;
  from(s)->sink_ = ComPtr<IDispatch>::share(sink);
  return S_OK;
}

HRESULT ControlBase::siteUnadvise(IOleControlSite* s) {
  ControlBase* self = from(s);
  if (!self->sink_) return CONNECT_E_NOCONNECTION;
  self->sink_.reset();
  return S_OK;
}

HRESULT ControlBase::siteClose(IOleControlSite* s) {
  ControlBase* self = from(s);
  try {
    Hold hold(self);
    self->sink_.reset();  // no event reaches a host that closed the control
    if (self->busyInWindowProc()) {
      self->closeDeferred_ = true;
      return S_OK;
    }
    self->close();
    return S_OK;
  } catch (...) {
    self->destroyWindow();
    return E_FAIL;
  }
}

}  // namespace pl
