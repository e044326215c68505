// Reads one unit's write directory the way every network reader must: it
// waits while cap.ctl says a picture is being written, reads the newest slot
// file, reads cap.ctl again and starts over when anything moved. It never
// writes to the directory. Owned and called by the watcher thread only; the
// views it hands out are immutable and go to the board.
#pragma once

#include "picture.h"
#include "unit_health.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

namespace selvane::web {

// What clients see of a unit. Immutable once handed to the board.
struct UnitView {
  int number = 0;           // the unit's number in URLs and on the page
  bool readable = false;    // the directory can be read right now
  bool hasRecord = false;   // a usable cap.ctl was found
  int state = -1;           // 0 BMP, 2 JPEG (never 1: stores in progress are not shown)
  int nextSlot = 0;
  std::array<bool, 2> written{false, false};
  std::array<QString, 2> texts;  // decoded from CP932, padding removed
  int newestSlot = -1;           // -1: no picture published yet
  int64_t changedMs = 0;         // wall clock when the reader last saw a change
  PicturePtr picture;            // the last complete picture, kept while unreadable
  uint64_t pictureSeq = 0;       // grows by one with every new picture
  QString problem;               // why the directory cannot be read
  UnitActivity activity;         // health and counts, stamped by the watcher (unit_health.h)
};
using UnitViewPtr = std::shared_ptr<const UnitView>;

class UnitReader {
 public:
  // `dir` ends in '/'. `pollMs`: how often a picture that stays cut is read
  // again while the unit is busy.
  UnitReader(int number, QString dir, int pollMs = 200);

  // Looks at the directory; returns true when the view changed.
  bool check(int64_t nowMs);

  UnitViewPtr view() const { return view_; }
  const QString& dir() const { return dir_; }
  // A store was under way or the picture was not yet whole at the last check:
  // look again soon rather than at the next poll (for at most two seconds).
  bool busy() const { return busy_; }

  // Largest slot file read; a bigger one is refused unread.
  static constexpr int64_t kMaxFileSize = 64 << 20;

 private:
  bool setUnreadable(const QString& problem);
  void noteReadable();
  bool giveUp(const QByteArray& signature);
  bool readNewest(int dirFd, const QByteArray& ctl, int64_t nowMs);
  bool mayLog();

  QString dir_;
  QByteArray dirBytes_;
  int pollMs_;
  UnitViewPtr view_;
  QByteArray lastSignature_;   // what the last finished look saw
  QByteArray triedSignature_;  // what the last read while busy saw
  int64_t triedMs_ = 0;
  int64_t triedBytes_ = 0;     // how much that read took
  bool busy_ = false;
  int64_t busySinceMs_ = 0;
  QString lastLoggedProblem_;
  int64_t logMinute_ = 0;
  int logCount_ = 0;
};

}  // namespace selvane::web
