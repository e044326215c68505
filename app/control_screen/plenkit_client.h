// The image utility library libplenkit.so, loaded by name at first use and
// kept loaded for the life of the process. UI thread only. The entry points'
// types come from the library's own header, which is only read, never linked.
#pragma once
#include <QString>
#include <cstdint>

#include "plenkit/plenkit.h"

namespace selvane {

struct Plenkit {
  decltype(&::BitMapOpen) BitMapOpen;
  decltype(&::BitMapClose) BitMapClose;
  decltype(&::BmpFileSend) BmpFileSend;
  decltype(&::BmptoJpgConvert) BmptoJpgConvert;
  decltype(&::JpgFileSend) JpgFileSend;
  decltype(&::GetDirName) GetDirName;
  decltype(&::GetTempDir) GetTempDir;
  decltype(&::RegEntrySet) RegEntrySet;
  decltype(&::ClickMessageSend) ClickMessageSend;
  decltype(&::BitDispWindSet) BitDispWindSet;
  decltype(&::BitDispWindReset) BitDispWindReset;
  decltype(&::BmpDisp) BmpDisp;
  decltype(&::BmpFileDisp) BmpFileDisp;
  decltype(&::BmpDispReset) BmpDispReset;
  decltype(&::BmpDispCopy) BmpDispCopy;
  decltype(&::BmpScalConv) BmpScalConv;
  decltype(&::BmpColChange) BmpColChange;

  // The library next to the program; nullptr (with the reason in `error`)
  // when it or one of its entry points cannot be had.
  static const Plenkit* load(QString* error = nullptr);
};

}  // namespace selvane
