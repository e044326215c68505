// The image library as its callers see it: libplenkit.so loaded by name with
// dlopen and every entry point resolved with dlsym. The entry points' types
// come from the library's own header, which is only read, never linked.
#pragma once
#include <string>

#include "plenkit/plenkit.h"

// Every entry point, by name.
// clang-format off
#define PLENKIT_ENTRY_POINTS(X)                                                                              \
  X(BitMapOpen) X(BitMapClose) X(BmpFileSend) X(BmptoJpgConvert) X(JpgFileSend) X(GetDirName) X(GetTempDir) \
  X(RegEntrySet) X(ClickMessageSend) X(BitDispWindSet) X(BitDispWindReset) X(BmpDisp) X(BmpFileDisp)       \
  X(BmpDispReset) X(BmpDispCopy) X(BmpScalConv) X(BmpColChange)
// clang-format on

struct PlenkitApi {
#define PLENKIT_MEMBER(name) decltype(&::name) name = nullptr;
  PLENKIT_ENTRY_POINTS(PLENKIT_MEMBER)
#undef PLENKIT_MEMBER

  bool loaded = false;
  std::string error;  // why loading failed
};

// Loads the library once per process (from $SV_OUT_DIR, else by bare name).
const PlenkitApi& plenkit();
