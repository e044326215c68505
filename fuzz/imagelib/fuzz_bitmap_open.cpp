// Feeds arbitrary files to BitMapOpen, then the transforms and the JPEG
// conversion on whatever was loaded. Half the inputs are taken as whole
// files; the other half get a plausible header built from their first bytes
// (any size, bit count and compression, and a size field that may disagree
// with the data) so the pixel paths are reached quickly.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "plenkit/plenkit.h"
#include "testkit/pictures.h"

namespace {

const std::string kInput = "/tmp/plenkit-fuzz-" + std::to_string(getpid()) + ".bmp";
const std::string kOutput = "/tmp/plenkit-fuzz-" + std::to_string(getpid()) + ".out";

void removeScratch() {
  std::remove(kInput.c_str());
  std::remove(kOutput.c_str());
}

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  uint32_t next(unsigned bytes) {
    uint32_t v = 0;
    for (unsigned i = 0; i < bytes; ++i) v = (v << 8) | (at < size ? data[at++] : 0);
    return v;
  }
};

std::vector<uint8_t> synthesise(const uint8_t* data, size_t size) {
  Reader r{data, size};
  r.next(1);  // the mode byte
  static const uint32_t kCompressions[] = {BI_RGB, FOURCC_I420, FOURCC_IYUV, BI_BITFIELDS, 0x32595559u};
  static const uint16_t kBitCounts[] = {24, 12, 8, 32, 16, 1, 0, 48};
  const int32_t width = static_cast<int32_t>(r.next(2) % 700) - 20;
  const int32_t height = static_cast<int32_t>(r.next(2) % 700) - 20;
  const uint32_t compression = kCompressions[r.next(1) % 5];
  const uint16_t bitCount = kBitCounts[r.next(1) % 8];
  const int32_t sizeSkew = static_cast<int8_t>(r.next(1));
  const size_t pixels = size > r.at ? size - r.at : 0;

  std::vector<uint8_t> file = bmpWithHeaders(width, height, bitCount, compression, pixels);
  BITMAPFILEHEADER fh = fileHeaderOf(file);
  fh.bfSize = static_cast<DWORD>(static_cast<int64_t>(file.size()) + (sizeSkew % 4 == 0 ? sizeSkew : 0));
  setFileHeader(file, fh);
  if (pixels > 0) std::memcpy(file.data() + 54, data + r.at, pixels);
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::atexit(removeScratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const bool whole = size == 0 || (data[0] & 1) == 0;
  const std::vector<uint8_t> file = whole ? std::vector<uint8_t>(data, data + size) : synthesise(data, size);
  {
    std::ofstream out(kInput, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  }
  // Transform steps from the last bytes, covering the ranges and beyond.
  const auto tail = [&](size_t back) { return size > back ? static_cast<int>(data[size - 1 - back]) : 0; };
  if (BitMapOpen(0, kInput.c_str()) == 0) {
    BmpScalConv(tail(0) % 42 - 2, tail(1) % 14 - 2);
    BmpColChange(tail(2) % 24 - 2, tail(3) % 24 - 2, tail(4) % 24 - 2, tail(5) % 24 - 2);
    BmptoJpgConvert(tail(6) % 110 - 5);
    BmpFileSend(kOutput.c_str());
    JpgFileSend(kOutput.c_str());
    BitMapClose();
  }
  return 0;
}
