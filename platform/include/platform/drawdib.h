// Drawing engine: draws device-independent bitmaps into windows.
//
// Pictures: 24- or 32-bit BI_RGB rows (bottom row first, or top row first
// with a negative height; rows padded to 4 bytes) and "I420"/"IYUV" planar
// 4:2:0 frames. A picture is stretched into the destination rectangle of a
// window's device context and stays over the window's own content until the
// next drawing there replaces it or the system repaints the window. Drawing
// never produces WM_PAINT.
//
// Threads: a handle may be used from any thread, one call at a time per
// handle (each handle serialises its own calls). Drawing into a window from a
// thread other than the UI thread converts the picture on the calling thread
// and hands it to the UI thread, never blocking.
#pragma once
#include "platform/export.h"
#include "platform/wintypes.h"

typedef struct DrawDibContext* HDRAWDIB;

PL_BEGIN_C

PL_VISIBLE HDRAWDIB DrawDibOpen(void);
PL_VISIBLE BOOL DrawDibClose(HDRAWDIB hdd);

// Draws `bits` described by `header`. dxDst/dyDst of -1 take the source size;
// dxSrc/dySrc of -1 take the whole picture. Into a memory device context
// (CreateCompatibleDC) the picture is only decompressed, for
// DrawDibGetBuffer. Returns FALSE for an unknown handle or context, or a
// format it cannot draw.
PL_VISIBLE BOOL DrawDibDraw(HDRAWDIB hdd, HDC hdc, int xDst, int yDst, int dxDst, int dyDst,
                            const BITMAPINFOHEADER* header, const void* bits, int xSrc, int ySrc, int dxSrc, int dySrc,
                            UINT flags);

// The last picture this handle decompressed (a planar frame), as 24-bit BI_RGB
// rows, bottom row first; its header goes to `header` (at least 40 bytes).
// NULL when the last drawing needed no decompression. The buffer stays valid
// until the next call on the handle.
PL_VISIBLE void* DrawDibGetBuffer(HDRAWDIB hdd, BITMAPINFOHEADER* header, DWORD headerSize, DWORD flags);

PL_END_C
