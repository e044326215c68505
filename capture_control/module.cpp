// The server entry points of Korvex.OCX and what it registers.
#include <string>

#include "korvex/korvex.h"
#include "korvex_ctrl.h"
#include "platform/registry.h"

namespace {

// OLEMISC_ACTIVATEWHENVISIBLE | SETCLIENTSITEFIRST | INSIDEOUT | CANTLINKINSIDE | RECOMPOSEONRESIZE
constexpr DWORD kMiscStatus = 0x20191;

const PL_INTERFACE_INFO kInterfaces[] = {
    {&DIID__DKorvex, "_DKorvex"},
    {&DIID__DKorvexEvents, "_DKorvexEvents"},
};

PL_TYPELIB_INFO typeLib(const std::string& path) {
  return {&LIBID_KorvexLib, 1, 0, "Korvex ActiveX ｺﾝﾄﾛｰﾙ ﾓｼﾞｭｰﾙ", "Korvex.hlp", path.c_str(), kInterfaces, 2};
}

PL_CLASS_INFO controlClass(const std::string& path) {
  return {&CLSID_Korvex, KORVEX_PROGID, "Korvex Control", "Apartment", path.c_str(),
          TRUE,          kMiscStatus,   &LIBID_KorvexLib, 1,           0};
}

PL_CLASS_INFO propertyPageClass(const std::string& path) {
  return {&CLSID_KorvexPropPage,
          "Korvex.KorvexPropPage.1",
          "Korvex Property Page",
          "Apartment",
          path.c_str(),
          FALSE,
          0,
          nullptr,
          0,
          0};
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return pl::ClassFactory<korvex::CKorvexCtrl>::get(clsid, &CLSID_Korvex, iid, out);
}

STDAPI DllCanUnloadNow(void) { return pl::server::canUnloadNow(); }

STDAPI DllRegisterServer(void) {
  const std::string path = pl::server::modulePath();
  const PL_TYPELIB_INFO lib = typeLib(path);
  if (path.empty() || FAILED(pl_RegisterTypeLib(&lib))) return SELFREG_E_TYPELIB;
  const PL_CLASS_INFO control = controlClass(path);
  const PL_CLASS_INFO page = propertyPageClass(path);
  if (FAILED(pl_RegisterClass(&control)) || FAILED(pl_RegisterClass(&page))) return SELFREG_E_CLASS;
  return S_OK;
}

STDAPI DllUnregisterServer(void) {
  const std::string path = pl::server::modulePath();
  const PL_TYPELIB_INFO lib = typeLib(path);
  if (FAILED(pl_UnregisterTypeLib(&lib))) return SELFREG_E_TYPELIB;
  const PL_CLASS_INFO control = controlClass(path);
  const PL_CLASS_INFO page = propertyPageClass(path);
  if (FAILED(pl_UnregisterClass(&control)) || FAILED(pl_UnregisterClass(&page))) return SELFREG_E_CLASS;
  return S_OK;
}
