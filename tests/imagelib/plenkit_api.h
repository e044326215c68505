// The image library as its callers see it: libplenkit.so loaded by name with
// dlopen and every entry point resolved with dlsym.
#pragma once
#include <cstdint>
#include <string>

#include "platform/wintypes.h"

struct PlenkitApi {
  int32_t (*BitMapOpen)(HWND, const char*) = nullptr;
  int32_t (*BitMapClose)() = nullptr;
  int32_t (*BmpFileSend)(const char*) = nullptr;
  int32_t (*BmptoJpgConvert)(int32_t) = nullptr;
  int32_t (*JpgFileSend)(const char*) = nullptr;
  int32_t (*GetDirName)(const char*, const char*, const char*, HWND) = nullptr;
  int32_t (*GetTempDir)(HWND) = nullptr;
  int32_t (*RegEntrySet)(const char*) = nullptr;
  int32_t (*ClickMessageSend)(HWND) = nullptr;
  int32_t (*BitDispWindSet)(int32_t, HWND) = nullptr;
  int32_t (*BitDispWindReset)(int32_t) = nullptr;
  int32_t (*BmpDisp)(int32_t) = nullptr;
  int32_t (*BmpFileDisp)(int32_t, const char*) = nullptr;
  int32_t (*BmpDispReset)(int32_t) = nullptr;
  int32_t (*BmpDispCopy)(int32_t, int32_t) = nullptr;
  int32_t (*BmpScalConv)(int32_t, int32_t) = nullptr;
  int32_t (*BmpColChange)(int32_t, int32_t, int32_t, int32_t) = nullptr;

  bool loaded = false;
  std::string error;  // why loading failed
};

// Loads the library once per process (from $SV_OUT_DIR, else by bare name).
const PlenkitApi& plenkit();
