// The unit control file "cap.ctl": a 48-byte little-endian record in a
// unit's write directory that tells network readers which of the two image
// slot files is the newest, in which format and when it was taken.
//
//   offset 0  int16  state       1 writing, 0 newest is BMP, 2 newest is JPEG
//   offset 2  int16  next slot   0 or 1: the slot the next image overwrites
//   offset 4  int16  slot 0 written (1 once slot 0 holds an image)
//   offset 6  int16  slot 1 written
//   offset 8  20 bytes slot 0 text (CP932, blank-padded)
//   offset 28 20 bytes slot 1 text
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>

namespace selvane::publication {

struct ControlRecord {
  static constexpr int kSize = 48;
  static constexpr int kTextSize = 20;
  static constexpr int16_t kStateBmp = 0;
  static constexpr int16_t kStateWriting = 1;
  static constexpr int16_t kStateJpeg = 2;

  int16_t state = kStateBmp;
  int16_t nextSlot = 0;
  std::array<int16_t, 2> written{0, 0};
  std::array<QByteArray, 2> text{QByteArray(kTextSize, ' '), QByteArray(kTextSize, ' ')};

  // The record stored bytes describe. Anything that is not a usable record
  // (fewer than 48 bytes, a next slot other than 0 or 1) gives a fresh record,
  // so a damaged file can never send an image to a third file name. Bytes
  // after the 48th are ignored.
  static ControlRecord decode(QByteArrayView bytes);
  QByteArray encode() const;

  // Records the status text for the next slot and moves on: marks the slot
  // written, stores the text (CP932, cut or padded to 20 bytes) and makes the
  // other slot the next one. Returns the slot claimed (0 or 1).
  int claimSlot(QStringView statusText);

  QString slotText(int slot) const;  // decoded, padding included

  friend bool operator==(const ControlRecord&, const ControlRecord&) = default;
};

// Names in a write directory (which ends in '/').
QString controlFilePath(QStringView writeDir);                     // .../cap.ctl
QString imageFilePath(QStringView writeDir, int slot, bool jpeg);  // .../cap0.jpg
QString markerDirPath(QStringView writeDir);                       // .../CAPDIR

// The record in the file; a fresh record when the file is absent, unreadable
// or not a usable record.
ControlRecord readControlFile(const QString& path);

// Writes the 48 bytes at the start of the file, creating it when needed and
// leaving any longer tail in place. False when the file cannot be written.
bool writeControlFile(const QString& path, const ControlRecord& record);

}  // namespace selvane::publication
