// One published picture as the reader keeps it in memory: the bytes as
// stored, the JPEG every client can show (the same bytes for a JPEG unit, a
// conversion for a BMP unit) and the framing a stream client sends. Built once
// on the watcher thread and shared read-only by every client afterwards.
#pragma once

#include "selvane/publication/picture_check.h"
#include "selvane/publication/reader.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <memory>
#include <string>

namespace selvane::web {

struct Picture {
  QByteArray stored;  // the slot file's bytes
  bool storedJpeg = false;
  QByteArray jpeg;           // empty when a BMP could not be converted
  QByteArray partHead;       // a stream part's headers; the part is partHead, jpeg, kPartTail
  std::string etag;          // strong tag of `stored`; the JPEG's is etag + "j"
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
// Converts a BMP inspectBmp accepted to JPEG with libjpeg-turbo; empty on
// failure. Planar frames go to the encoder as they are (no colour conversion).
QByteArray bmpToJpeg(QByteArrayView bytes, const publication::BmpInfo& info, int quality = kJpegQuality);

// The picture clients are sent for one the reader found complete.
PicturePtr makePicture(const publication::PublishedPicture& published);

// A complete picture from a slot file's bytes, or nothing when the bytes are
// not a whole picture of the format the control file names
// (publication/picture_check.h).
PicturePtr makePicture(QByteArray stored, bool jpeg, int64_t modifiedSecs);

}  // namespace selvane::web
