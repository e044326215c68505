// The image utility library libplenkit.so, loaded by name at first use and
// kept loaded for the life of the process. UI thread only.
#pragma once
#include <QString>
#include <cstdint>

#include "platform/wintypes.h"

namespace selvane {

struct Plenkit {
  int32_t (*BitMapOpen)(HWND, const char*);
  int32_t (*BitMapClose)();
  int32_t (*BmpFileSend)(const char*);
  int32_t (*BmptoJpgConvert)(int32_t);
  int32_t (*JpgFileSend)(const char*);
  int32_t (*GetDirName)(const char*, const char*, const char*, HWND);
  int32_t (*GetTempDir)(HWND);
  int32_t (*RegEntrySet)(const char*);
  int32_t (*ClickMessageSend)(HWND);
  int32_t (*BitDispWindSet)(int32_t, HWND);
  int32_t (*BitDispWindReset)(int32_t);
  int32_t (*BmpDisp)(int32_t);
  int32_t (*BmpFileDisp)(int32_t, const char*);
  int32_t (*BmpDispReset)(int32_t);
  int32_t (*BmpDispCopy)(int32_t, int32_t);
  int32_t (*BmpScalConv)(int32_t, int32_t);
  int32_t (*BmpColChange)(int32_t, int32_t, int32_t, int32_t);

  // The library next to the program; nullptr (with the reason in `error`)
  // when it or one of its entry points cannot be had.
  static const Plenkit* load(QString* error = nullptr);
};

}  // namespace selvane
