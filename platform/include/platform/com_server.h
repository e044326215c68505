// Helpers for writing an in-process control server in C++ (the static
// library com_server, linked into each server): pl::ControlBase (IUnknown,
// IDispatch and IOleControlSite over static thunks that never let an
// exception out), argument helpers, a class factory and the module's object
// and lock counts for DllCanUnloadNow.
//
// Each server links its own copy of the library, so the counts below are the
// server's own (they have hidden visibility in every shared object we build).
#pragma once
#include <atomic>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/com.h"
#include "platform/com_ptr.h"
#include "platform/window.h"

namespace pl {

// Thrown inside ControlBase::invoke (directly or by Args); Invoke returns `code`.
struct DispError {
  HRESULT code;
};

namespace server {

extern std::atomic<long> objects;  // live objects and factories
extern std::atomic<long> locks;    // IClassFactory::LockServer

HRESULT canUnloadNow();

// The file of the server that links this library (for DllRegisterServer).
std::string modulePath();

}  // namespace server

// Posted to the control's own window to deliver events fired off the UI thread.
inline constexpr UINT kFireEventMessage = 0xBFFFu;

// Positional arguments of one Invoke. Integer arguments may come by value
// (VT_I4) or by reference (VT_BYREF|VT_I4); strings as VT_BSTR.
class Args {
 public:
  Args(const VARIANT* args, UINT argc) : args_(args), argc_(args != nullptr ? argc : 0) {}
  UINT count() const { return argc_; }
  // DISP_E_BADPARAMCOUNT unless exactly `n` arguments came.
  void expect(UINT n) const;
  int32_t i4(UINT i) const;
  // The caller's integer, to write a result back through.
  int32_t* ref(UINT i) const;
  std::string str(UINT i) const;

 private:
  const VARIANT& at(UINT i) const;
  const VARIANT* args_;
  UINT argc_;
};

HRESULT returnInt(VARIANT* result, int32_t value);
HRESULT returnString(VARIANT* result, const std::string& value);

// Base of a control object. Lives on the UI thread: created, called, sited,
// closed and released there. The derived class answers invoke() and its own
// window's messages (windowProc); fireEvent() may be called from any thread.
class ControlBase {
 public:
  ControlBase(const ControlBase&) = delete;
  ControlBase& operator=(const ControlBase&) = delete;

  // The object's identity (one reference is not added).
  IUnknown* unknown() { return &unknown_.iface; }
  HWND window() const { return window_; }
  HWND host() const { return host_; }

 protected:
  ControlBase();
  virtual ~ControlBase();

  // Member `id` with `argc` arguments in declaration order; see IDispatch.
  // Unknown ids should return DISP_E_MEMBERNOTFOUND.
  virtual HRESULT invoke(DISPID id, const VARIANT* args, UINT argc, VARIANT* result) = 0;
  // Messages of the control's own window.
  virtual LRESULT windowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window_, msg, wParam, lParam);
  }
  virtual void onSited() {}  // the window exists
  virtual void onClose() {}  // the window is about to go
  // True while the window procedure runs work that a close must not cut
  // short (the message loop turns inside it): a close asked for meanwhile
  // takes effect when that work has returned.
  virtual bool busyInWindowProc() const { return false; }

  // Calls the host's sink: at once on the UI thread (the host's handler runs
  // inside this call and may call the control back), else through the
  // control's window, in order. S_FALSE when no sink is connected.
  HRESULT fireEvent(DISPID id, std::vector<Variant> args = {});

 private:
  template <class I>
  struct Part {  // standard layout: the interface first, so the pointer converts back
    I iface;
    ControlBase* owner;
  };
  template <class I>
  static ControlBase* from(I* self) {
    return reinterpret_cast<Part<I>*>(self)->owner;
  }

  // Keeps the object alive across a call that may release it (a host
  // releasing the control from inside an event handler).
  struct Hold {
    explicit Hold(ControlBase* o) : o_(o) { o_->addRef(); }
    ~Hold() { o_->release(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    ControlBase* o_;
  };

  ULONG addRef() { return ++refs_; }
  ULONG release();
  HRESULT query(REFIID iid, void** out);
  void destroyWindow();
  void firePending();
  void close();

  static LRESULT wndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  // IUnknown
  static HRESULT unkQuery(IUnknown* s, REFIID iid, void** out) { return from(s)->query(iid, out); }
  static ULONG unkAddRef(IUnknown* s) { return from(s)->addRef(); }
  static ULONG unkRelease(IUnknown* s) { return from(s)->release(); }

  // IDispatch
  static HRESULT dispQuery(IDispatch* s, REFIID iid, void** out) { return from(s)->query(iid, out); }
  static ULONG dispAddRef(IDispatch* s) { return from(s)->addRef(); }
  static ULONG dispRelease(IDispatch* s) { return from(s)->release(); }
  static HRESULT dispInvoke(IDispatch* s, DISPID id, const VARIANT* args, UINT argc, VARIANT* result);

  // IOleControlSite
  static HRESULT siteQuery(IOleControlSite* s, REFIID iid, void** out) { return from(s)->query(iid, out); }
  static ULONG siteAddRef(IOleControlSite* s) { return from(s)->addRef(); }
  static ULONG siteRelease(IOleControlSite* s) { return from(s)->release(); }
  static HRESULT siteSetSite(IOleControlSite* s, HWND host, HWND* controlWindow);
  static HRESULT siteAdvise(IOleControlSite* s, IDispatch* sink);
  static HRESULT siteUnadvise(IOleControlSite* s);
  static HRESULT siteClose(IOleControlSite* s);

  static constexpr IUnknownVtbl kUnknownVtbl = {&unkQuery, &unkAddRef, &unkRelease};
  static constexpr IDispatchVtbl kDispatchVtbl = {&dispQuery, &dispAddRef, &dispRelease, &dispInvoke};
  static constexpr IOleControlSiteVtbl kSiteVtbl = {&siteQuery,  &siteAddRef,   &siteRelease, &siteSetSite,
                                                    &siteAdvise, &siteUnadvise, &siteClose};

  Part<IUnknown> unknown_;
  Part<IDispatch> dispatch_;
  Part<IOleControlSite> site_;
  std::atomic<ULONG> refs_{1};
  bool closeDeferred_ = false;   // UI thread only
  std::atomic<HWND> window_{0};  // read by fireEvent on any thread
  HWND host_ = 0;
  ComPtr<IDispatch> sink_;
  std::mutex pendingMutex_;
  std::vector<std::pair<DISPID, std::vector<Variant>>> pending_;
};

// Class factory for a ControlBase-derived class T with a default constructor.
template <class T>
class ClassFactory {
 public:
  // DllGetClassObject for one class: CLASS_E_CLASSNOTAVAILABLE for other ids.
  static HRESULT get(REFCLSID requested, REFCLSID clsid, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (requested == nullptr || !IsEqualGUID(requested, clsid)) return CLASS_E_CLASSNOTAVAILABLE;
    auto* f = new (std::nothrow) ClassFactory;
    if (f == nullptr) return E_OUTOFMEMORY;
    HRESULT hr = f->query(iid, out);
    f->release();
    return hr;
  }

 private:
  struct Part {
    IClassFactory iface;
    ClassFactory* owner;
  };
  ClassFactory() {
    part_.iface.lpVtbl = &kVtbl;
    part_.owner = this;
    ++server::objects;
  }
  ~ClassFactory() { --server::objects; }
  static ClassFactory* from(IClassFactory* s) { return reinterpret_cast<Part*>(s)->owner; }

  HRESULT query(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == nullptr) return E_INVALIDARG;
    if (!IsEqualGUID(iid, &IID_IUnknown) && !IsEqualGUID(iid, &IID_IClassFactory)) return E_NOINTERFACE;
    ++refs_;
    *out = &part_.iface;
    return S_OK;
  }
  ULONG release() {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }

  static HRESULT fQuery(IClassFactory* s, REFIID iid, void** out) { return from(s)->query(iid, out); }
  static ULONG fAddRef(IClassFactory* s) { return ++from(s)->refs_; }
  static ULONG fRelease(IClassFactory* s) { return from(s)->release(); }
  static HRESULT fCreate(IClassFactory*, IUnknown* outer, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    T* object = nullptr;
    try {
      object = new T();
    } catch (const std::bad_alloc&) { return E_OUTOFMEMORY; } catch (...) {
      return E_FAIL;
    }
    IUnknown* unknown = object->unknown();
    HRESULT hr = unknown->lpVtbl->QueryInterface(unknown, iid, out);
    unknown->lpVtbl->Release(unknown);  // the creation reference
    return hr;
  }
  static HRESULT fLock(IClassFactory*, BOOL lock) {
    if (lock)
      ++server::locks;
    else if (server::locks.load() > 0)
      --server::locks;
    return S_OK;
  }

  static constexpr IClassFactoryVtbl kVtbl = {&fQuery, &fAddRef, &fRelease, &fCreate, &fLock};

  Part part_;
  std::atomic<ULONG> refs_{1};
};

}  // namespace pl
