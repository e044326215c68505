// Result codes of the platform layer's component model and services, as named
// constants in one place. Values are those the components and their hosts
// already know, so a host can compare results without translation.
#pragma once
#include <stdint.h>

typedef int32_t HRESULT;

#define PL_HR(x) ((HRESULT)(uint32_t)(x))

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL PL_HR(0x80004001u)
#define E_NOINTERFACE PL_HR(0x80004002u)
#define E_POINTER PL_HR(0x80004003u)
#define E_FAIL PL_HR(0x80004005u)
#define E_UNEXPECTED PL_HR(0x8000FFFFu)
#define E_ACCESSDENIED PL_HR(0x80070005u)
#define E_HANDLE PL_HR(0x80070006u)
#define E_OUTOFMEMORY PL_HR(0x8007000Eu)
#define E_INVALIDARG PL_HR(0x80070057u)

#define CLASS_E_NOAGGREGATION PL_HR(0x80040110u)
#define CLASS_E_CLASSNOTAVAILABLE PL_HR(0x80040111u)
#define REGDB_E_CLASSNOTREG PL_HR(0x80040154u)
#define REGDB_E_READREGDB PL_HR(0x80040150u)
#define REGDB_E_WRITEREGDB PL_HR(0x80040151u)
#define CO_E_DLLNOTFOUND PL_HR(0x800401F8u)
#define CO_E_ERRORINDLL PL_HR(0x800401F9u)
#define CONNECT_E_NOCONNECTION PL_HR(0x80040200u)

#define SELFREG_E_TYPELIB PL_HR(0x80040200u)
#define SELFREG_E_CLASS PL_HR(0x80040201u)

#define DISP_E_UNKNOWNINTERFACE PL_HR(0x80020001u)
#define DISP_E_MEMBERNOTFOUND PL_HR(0x80020003u)
#define DISP_E_PARAMNOTFOUND PL_HR(0x80020004u)
#define DISP_E_TYPEMISMATCH PL_HR(0x80020005u)
#define DISP_E_EXCEPTION PL_HR(0x80020009u)
#define DISP_E_BADPARAMCOUNT PL_HR(0x8002000Eu)

#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
