// The one export-macro header of the project. Every symbol that crosses a
// shared-object boundary (platform layer, capture control, image library,
// JPEG encoder) is declared with one of these macros.
#pragma once

#if defined(__GNUC__)
#define PL_VISIBLE __attribute__((visibility("default")))
#else
#define PL_VISIBLE
#endif

#ifdef __cplusplus
#define PL_EXTERN_C extern "C"
#define PL_BEGIN_C extern "C" {
#define PL_END_C }
#else
#define PL_EXTERN_C
#define PL_BEGIN_C
#define PL_END_C
#endif

// A C-linkage function exported from the shared object that defines it.
#define PL_API PL_EXTERN_C PL_VISIBLE

// The platform's "standard calling convention" is the C convention on Linux;
// the name stays so declarations read like the interfaces they stand in for.
#define WINAPI
#define STDAPI PL_API HRESULT
