// Whether a slot file's bytes are a whole picture of the format cap.ctl names.
// A reader must check: a slot file can be cut short (a full disk, a power cut
// after the rename, a writer on another computer that stopped half-way), and
// the record only says which file is the newest, not that it is whole. Pure
// functions of their bytes; any thread.
#pragma once

#include <QByteArrayView>

#include <optional>

namespace selvane::publication {

// Stations ask their cameras for 640 x 480 at most; a picture beyond QXGA is
// no camera picture, and converting or decoding it would hold the reader.
inline constexpr int kMaxWidth = 2048;
inline constexpr int kMaxHeight = 1536;

// A whole JPEG: starts with SOI, ends with EOI, its header decodes to at most
// kMaxWidth x kMaxHeight, and a scan with data follows the header. Fills
// width and height when given.
bool isCompleteJpeg(QByteArrayView bytes, int* width = nullptr, int* height = nullptr);

// A BMP whose headers agree with its length: "BM", the file size field equals
// the length, pixel data of the size its dimensions call for, at most
// kMaxWidth x kMaxHeight. The kinds the station stores: 24- or 32-bit BI_RGB,
// and 12-bit planar I420 / IYUV.
struct BmpInfo {
  int width = 0;
  int height = 0;  // always positive
  bool topDown = false;
  bool planar = false;  // I420 / IYUV
  int bitCount = 0;
  qsizetype pixelOffset = 0;
};
std::optional<BmpInfo> inspectBmp(QByteArrayView bytes);

// Either of the two, as the record's state names it; fills the dimensions.
bool isCompletePicture(QByteArrayView bytes, bool jpeg, int* width = nullptr, int* height = nullptr);

}  // namespace selvane::publication
