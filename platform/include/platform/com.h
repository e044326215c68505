// Component model: in-process servers found through the class registry,
// objects with reference-counted interfaces laid out as tables of C function
// pointers, a dispatch interface called by dispatch number, and an event sink
// the host implements. Usable from C and C++; see com_host.h and
// com_server.h for the C++ helpers.
//
// Threads: objects are apartment-threaded: a control is created, called and
// released on the UI thread, and fires its events there.
#pragma once
#include "platform/errors.h"
#include "platform/export.h"
#include "platform/wintypes.h"

typedef struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;
typedef GUID CLSID;
typedef GUID IID;
typedef const GUID* REFGUID;
typedef const CLSID* REFCLSID;
typedef const IID* REFIID;

typedef int32_t DISPID;
typedef uint32_t ULONG;

// Strings across the boundary are zero-terminated UTF-8, allocated with
// SysAllocString and released with SysFreeString (or VariantClear).
typedef char* BSTR;

typedef uint16_t VARTYPE;
#define VT_EMPTY ((VARTYPE)0)
#define VT_I4 ((VARTYPE)3)
#define VT_BSTR ((VARTYPE)8)
#define VT_BYREF ((VARTYPE)0x4000)

typedef struct VARIANT {
  VARTYPE vt;
  uint16_t reserved[3];
  union {
    int32_t lVal;    // VT_I4
    int32_t* plVal;  // VT_BYREF | VT_I4: the callee may write through it
    BSTR bstrVal;    // VT_BSTR
  };
} VARIANT;

// DISPIDs with a fixed meaning.
#define DISPID_ABOUTBOX (-552)

// Class context and registration flags accepted for compatibility.
#define CLSCTX_INPROC_SERVER 0x1u

// --- Interfaces -----------------------------------------------------------

typedef struct IUnknown IUnknown;
typedef struct IUnknownVtbl {
  HRESULT (*QueryInterface)(IUnknown* self, REFIID iid, void** out);
  ULONG (*AddRef)(IUnknown* self);
  ULONG (*Release)(IUnknown* self);
} IUnknownVtbl;
struct IUnknown {
  const IUnknownVtbl* lpVtbl;
};

typedef struct IClassFactory IClassFactory;
typedef struct IClassFactoryVtbl {
  HRESULT (*QueryInterface)(IClassFactory* self, REFIID iid, void** out);
  ULONG (*AddRef)(IClassFactory* self);
  ULONG (*Release)(IClassFactory* self);
  HRESULT (*CreateInstance)(IClassFactory* self, IUnknown* outer, REFIID iid, void** out);
  HRESULT (*LockServer)(IClassFactory* self, BOOL lock);
} IClassFactoryVtbl;
struct IClassFactory {
  const IClassFactoryVtbl* lpVtbl;
};

// Invoke calls member `id` with `argc` arguments in declaration order (not
// reversed). Results: S_OK; DISP_E_MEMBERNOTFOUND for an unknown number;
// DISP_E_BADPARAMCOUNT or DISP_E_TYPEMISMATCH for wrong arguments. `result`
// may be NULL; otherwise the callee fills it (VT_EMPTY, VT_I4 or VT_BSTR).
typedef struct IDispatch IDispatch;
typedef struct IDispatchVtbl {
  HRESULT (*QueryInterface)(IDispatch* self, REFIID iid, void** out);
  ULONG (*AddRef)(IDispatch* self);
  ULONG (*Release)(IDispatch* self);
  HRESULT (*Invoke)(IDispatch* self, DISPID id, const VARIANT* args, UINT argc, VARIANT* result);
} IDispatchVtbl;
struct IDispatch {
  const IDispatchVtbl* lpVtbl;
};

// What a control offers its host besides dispatch: siting on a host window
// (the control makes its own hidden child window there and returns its
// handle), one event sink (the host's dispatch object, called with the event
// interface's dispatch numbers) and closing before release.
typedef struct IOleControlSite IOleControlSite;
typedef struct IOleControlSiteVtbl {
  HRESULT (*QueryInterface)(IOleControlSite* self, REFIID iid, void** out);
  ULONG (*AddRef)(IOleControlSite* self);
  ULONG (*Release)(IOleControlSite* self);
  HRESULT (*SetSite)(IOleControlSite* self, HWND host, HWND* controlWindow);
  HRESULT (*Advise)(IOleControlSite* self, IDispatch* sink);
  HRESULT (*Unadvise)(IOleControlSite* self);
  HRESULT (*Close)(IOleControlSite* self);
} IOleControlSiteVtbl;
struct IOleControlSite {
  const IOleControlSiteVtbl* lpVtbl;
};

PL_BEGIN_C

PL_VISIBLE extern const IID IID_IUnknown;       // {00000000-0000-0000-C000-000000000046}
PL_VISIBLE extern const IID IID_IClassFactory;  // {00000001-0000-0000-C000-000000000046}
PL_VISIBLE extern const IID IID_IDispatch;      // {00020400-0000-0000-C000-000000000046}
PL_VISIBLE extern const IID IID_IOleControlSite;

PL_VISIBLE BOOL IsEqualGUID(REFGUID a, REFGUID b);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; needs 39 bytes. Returns chars written incl. NUL, 0 if too small.
PL_VISIBLE int StringFromGUID2(REFGUID guid, char* buffer, int max);
PL_VISIBLE HRESULT CLSIDFromString(const char* text, CLSID* out);
PL_VISIBLE HRESULT CLSIDFromProgID(const char* progId, CLSID* out);

PL_VISIBLE HRESULT CoInitialize(void* reserved);
PL_VISIBLE void CoUninitialize(void);
PL_VISIBLE HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* reserved, REFIID iid, void** out);
PL_VISIBLE HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** out);

PL_VISIBLE BSTR SysAllocString(const char* text);
PL_VISIBLE void SysFreeString(BSTR text);
PL_VISIBLE void VariantInit(VARIANT* v);
PL_VISIBLE HRESULT VariantClear(VARIANT* v);

// Creates the control registered under `clsid`, sites it hidden on `host`,
// connects `sink` (may be NULL) and returns its dispatch interface (one
// reference) and its own window.
PL_VISIBLE HRESULT pl_CreateControl(REFCLSID clsid, HWND host, IDispatch* sink, IDispatch** control,
                                    HWND* controlWindow);
// Disconnects the sink, closes the control and releases the caller's reference.
PL_VISIBLE void pl_ReleaseControl(IDispatch* control);

// The file path of the shared object that contains `address` (a function of
// the caller's module). Returns its length, 0 on failure.
PL_VISIBLE int pl_ModulePath(const void* address, char* buffer, int max);

// Entry points every in-process server exports.
typedef HRESULT (*PFN_DllGetClassObject)(REFCLSID clsid, REFIID iid, void** out);
typedef HRESULT (*PFN_DllCanUnloadNow)(void);
typedef HRESULT (*PFN_DllRegisterServer)(void);
typedef HRESULT (*PFN_DllUnregisterServer)(void);

PL_END_C
