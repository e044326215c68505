// One published picture as the reader keeps it in memory: the bytes as
// stored, the JPEG every client can show (the same bytes for a JPEG unit, a
// conversion for a BMP unit) and the framing a stream client sends. Built once
// on the watcher thread and shared read-only by every client afterwards.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace selvane::web {

struct Picture {
  QByteArray stored;      // the slot file's bytes
  bool storedJpeg = false;
  QByteArray jpeg;        // empty when a BMP could not be converted
  QByteArray partHead;    // a stream part's headers; the part is partHead, jpeg, kPartTail
  std::string etag;       // strong tag of `stored`; the JPEG's is etag + "j"
  int64_t modifiedSecs = 0;  // the slot file's modification time
  int width = 0;
  int height = 0;

  // What a stream part sends in all.
  qsizetype partSize() const;
  // The memory it takes: the JPEG of a JPEG unit shares the stored bytes.
  qsizetype footprint() const;
};
using PicturePtr = std::shared_ptr<const Picture>;

inline constexpr char kStreamBoundary[] = "selvaneframe";
inline constexpr int kJpegQuality = 85;
// Ends every stream part: the boundary that tells the client the part is whole.
inline constexpr char kPartTail[] = "\r\n--selvaneframe\r\n";
// Stations ask their cameras for 640 x 480 at most; a picture beyond QXGA is
// no camera picture, and converting or decoding it would hold the watcher.
inline constexpr int kMaxWidth = 2048;
inline constexpr int kMaxHeight = 1536;

// A whole JPEG: starts with SOI, ends with EOI, its header decodes to at most
// kMaxWidth x kMaxHeight, and a scan with data follows the header. Fills
// width and height when given.
bool isCompleteJpeg(QByteArrayView bytes, int* width = nullptr, int* height = nullptr);

// A BMP whose headers agree with its length: "BM", the file size field equals
// the length, pixel data of the size its dimensions call for, at most
// kMaxWidth x kMaxHeight. The kinds the
// station stores: 24- or 32-bit BI_RGB, and 12-bit planar I420 / IYUV.
struct BmpInfo {
  int width = 0;
  int height = 0;  // always positive
  bool topDown = false;
  bool planar = false;  // I420 / IYUV
  int bitCount = 0;
  qsizetype pixelOffset = 0;
};
std::optional<BmpInfo> inspectBmp(QByteArrayView bytes);

// Converts a BMP inspectBmp accepted to JPEG with libjpeg-turbo; empty on
// failure. Planar frames go to the encoder as they are (no colour conversion).
QByteArray bmpToJpeg(QByteArrayView bytes, const BmpInfo& info, int quality = kJpegQuality);

// A complete picture from a slot file's bytes, or nothing when the bytes are
// not a whole picture of the format the control file names.
PicturePtr makePicture(QByteArray stored, bool jpeg, int64_t modifiedSecs);

}  // namespace selvane::web
