// Basic types of the platform layer. Window handles are 32-bit handle numbers;
// message parameters and window-long values are pointer-sized so that a
// procedure address or a string pointer fits (the classic 32-bit widths are
// kept wherever stored files or peers see them).
#pragma once
#include <stddef.h>
#include <stdint.h>

typedef int32_t BOOL;
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef intptr_t LONG_PTR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;

typedef uint32_t HWND;  // 0 = none; never reused within a run
typedef uint32_t HDC;   // device context handle, 0 = none

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

typedef struct RECT {
  LONG left, top, right, bottom;
} RECT;

typedef struct POINT {
  LONG x, y;
} POINT;

#pragma pack(push, 2)
// 14-byte BMP file header as stored on disk (little-endian).
typedef struct BITMAPFILEHEADER {
  WORD bfType;
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;
} BITMAPFILEHEADER;
#pragma pack(pop)

// 40-byte device-independent bitmap header.
typedef struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // positive: bottom row first; negative: top row first
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
} BITMAPINFOHEADER;

#ifdef __cplusplus
static_assert(sizeof(BITMAPFILEHEADER) == 14, "file header is 14 bytes");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "info header is 40 bytes");
#endif

#define BI_RGB 0u
#define BI_BITFIELDS 3u
#define PL_FOURCC(a, b, c, d) \
  ((DWORD)(BYTE)(a) | ((DWORD)(BYTE)(b) << 8) | ((DWORD)(BYTE)(c) << 16) | ((DWORD)(BYTE)(d) << 24))
#define FOURCC_I420 PL_FOURCC('I', '4', '2', '0')  // 0x30323449
#define FOURCC_IYUV PL_FOURCC('I', 'Y', 'U', 'V')  // 0x56555949

#define MAKELONG(lo, hi) ((LONG)(((WORD)((DWORD)(lo)&0xffff)) | ((DWORD)((WORD)((DWORD)(hi)&0xffff))) << 16))
#define MAKELPARAM(lo, hi) ((LPARAM)MAKELONG(lo, hi))
#define LOWORD(l) ((WORD)((DWORD)(l)&0xffff))
#define HIWORD(l) ((WORD)(((DWORD)(l) >> 16) & 0xffff))
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
