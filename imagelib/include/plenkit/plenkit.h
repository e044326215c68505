// Plenkit, the image utility library: one process-wide image (loaded from a
// BMP file, transformed, encoded to JPEG, written out), seven display slots
// and a few small utilities. Callers load libplenkit.so by name and resolve
// these entry points by name. Results: 0 success (or a byte count), other
// values as each function states; no function throws.
#pragma once
#include <stdint.h>

#include "platform/export.h"
#include "platform/wintypes.h"

// Capacity of the image, work, JPEG and slot buffers.
#define PLENKIT_BUFFER_SIZE 1328800
#define PLENKIT_SLOT_COUNT 7
// Posted by a slot window to itself to draw its picture after a repaint.
#define PLENKIT_WM_REPAINT 3246u

// Image buffer, JPEG conversion and file writing.
PL_API int32_t BitMapOpen(HWND window, const char* path);  // 0 loaded, 1 unreadable, 2 compression
PL_API int32_t BitMapClose(void);                          // 0
PL_API int32_t BmpFileSend(const char* path);              // bytes written, 0 failure
PL_API int32_t BmptoJpgConvert(int32_t quality);           // JPEG length, 0 no image/no JPEG
PL_API int32_t JpgFileSend(const char* path);              // bytes written, 0 failure

// Utilities.
PL_API int32_t GetDirName(const char* initialDir, const char* initialFile, const char* filter,
                          HWND window);             // 0 chosen (path in window text), 1 not
PL_API int32_t GetTempDir(HWND window);             // 0 written into the window text, 1 not
PL_API int32_t RegEntrySet(const char* arguments);  // 0
PL_API int32_t ClickMessageSend(HWND window);       // 0

// Display slots 0..6; other slot numbers are refused with 1.
PL_API int32_t BitDispWindSet(int32_t slot, HWND window);  // 0 registered, 1 refused
PL_API int32_t BitDispWindReset(int32_t slot);             // 0
PL_API int32_t BmpDisp(int32_t slot);                      // 0 shown, 1 refused
PL_API int32_t BmpFileDisp(int32_t slot, const char* path);
PL_API int32_t BmpDispReset(int32_t slot);  // 0
PL_API int32_t BmpDispCopy(int32_t source, int32_t destination);

// Transforms of the open image, in place.
PL_API int32_t BmpScalConv(int32_t rotation, int32_t zoom);  // 0 done, 1 no image
PL_API int32_t BmpColChange(int32_t brightness, int32_t red, int32_t green, int32_t blue);
