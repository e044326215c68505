// A small control server for the component-model tests, written with the
// same helpers a real control uses.
#include <stdexcept>
#include <thread>
#include <utility>

#include "platform/com_server.h"
#include "platform/registry.h"
#include "test_control_ids.h"

namespace {

constexpr UINT kFireLaterMessage = WM_USER + 101;

class TestControl final : public pl::ControlBase {
 protected:
  HRESULT invoke(DISPID id, const VARIANT* argv, UINT argc, VARIANT* result) override {
    pl::Args a(argv, argc);
    switch (id) {
      case testctl::kAdd: a.expect(2); return pl::returnInt(result, a.i4(0) + a.i4(1));
      case testctl::kDouble: {
        a.expect(1);
        int32_t* n = a.ref(0);
        return pl::returnInt(result, std::exchange(*n, *n * 2));
      }
      case testctl::kGreet: a.expect(1); return pl::returnString(result, "Hello, " + a.str(0));
      case testctl::kLength: a.expect(1); return pl::returnInt(result, static_cast<int32_t>(a.str(0).size()));
      case testctl::kFireNow: {
        a.expect(1);
        int32_t n = a.i4(0);
        fireEvent(testctl::kValueEvent, {n});
        fireEvent(testctl::kTextEvent, {"fired " + std::to_string(n)});
        return pl::returnInt(result, 0);
      }
      case testctl::kFireLater:
        a.expect(1);
        return pl::returnInt(result,
                             PostMessageA(window(), kFireLaterMessage, static_cast<WPARAM>(a.i4(0)), 0) ? 0 : 1);
      case testctl::kFireFromThread: {
        a.expect(1);
        int32_t n = a.i4(0);
        HRESULT hr = E_FAIL;
        std::thread worker([&] { hr = fireEvent(testctl::kValueEvent, {n}); });
        worker.join();
        return pl::returnInt(result, SUCCEEDED(hr) ? 0 : 1);
      }
      case testctl::kThrow: throw std::runtime_error("control failure");
      case testctl::kWindow: return pl::returnInt(result, static_cast<int32_t>(window()));
      default: return DISP_E_MEMBERNOTFOUND;
    }
  }

  LRESULT windowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == kFireLaterMessage) {
      fireEvent(testctl::kValueEvent, {static_cast<int32_t>(wParam)});
      return 0;
    }
    return ControlBase::windowProc(msg, wParam, lParam);
  }
};

// Stands for a property page: a plain creatable class without members.
class TestPage final : public pl::ControlBase {
 protected:
  HRESULT invoke(DISPID, const VARIANT*, UINT, VARIANT*) override { return DISP_E_MEMBERNOTFOUND; }
};

const PL_INTERFACE_INFO kInterfaces[] = {{&testctl::kDispatchIid, "_DTestCtl"},
                                         {&testctl::kEventsIid, "_DTestCtlEvents"}};

// Adds (or removes) the type library, then the control and the page.
HRESULT registration(bool add) {
  const std::string path = pl::server::modulePath();
  if (add && path.empty()) return SELFREG_E_TYPELIB;
  const char* file = path.c_str();
  PL_TYPELIB_INFO lib{&testctl::kLibId, 1, 0, "TestCtl ActiveX control module", "TestCtl.hlp", file, kInterfaces, 2};
  const PL_CLASS_INFO classes[] = {
      {&testctl::kClsid, testctl::kProgId, "TestCtl Control", "Apartment", file, TRUE, testctl::kMiscStatus,
       &testctl::kLibId, 1, 0},
      {&testctl::kPageClsid, testctl::kPageProgId, "TestCtl Property Page", "Apartment", file, FALSE, 0, nullptr, 0, 0},
  };
  HRESULT hr = add ? pl_RegisterTypeLib(&lib) : pl_UnregisterTypeLib(&lib);
  for (const PL_CLASS_INFO& c : classes) {
    if (SUCCEEDED(hr)) hr = add ? pl_RegisterClass(&c) : pl_UnregisterClass(&c);
  }
  return hr;
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (clsid != nullptr && IsEqualGUID(clsid, &testctl::kPageClsid))
    return pl::ClassFactory<TestPage>::get(clsid, &testctl::kPageClsid, iid, out);
  return pl::ClassFactory<TestControl>::get(clsid, &testctl::kClsid, iid, out);
}

STDAPI DllCanUnloadNow(void) { return pl::server::canUnloadNow(); }
STDAPI DllRegisterServer(void) { return registration(true); }
STDAPI DllUnregisterServer(void) { return registration(false); }
