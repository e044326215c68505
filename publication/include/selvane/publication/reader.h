// Reading a unit's write directory from another program or computer. The
// recipe every reader must follow, because the station never waits for one:
//
//  1. Open only entries of the directory itself (openat on the directory,
//     O_NOFOLLOW, a regular file checked before and after opening): a link or
//     a device node in a shared directory is never followed or opened.
//  2. Read cap.ctl (48 bytes, control_record.h). State 1 means a store is under
//     way: look again soon. No cap.ctl: nothing is published yet.
//  3. Otherwise the newest picture is slot 1 - next slot, cap<s>.jpg for state
//     2, cap<s>.bmp for state 0, if that slot's written flag is set.
//  4. Open and read it at any speed, then read cap.ctl again: if the record
//     moved, or the file's size, time or inode changed while it was read,
//     start over from step 2 with the new record.
//  5. Check that the bytes are a whole picture (picture_check.h); a cut one is
//     skipped and looked at again soon. The previous complete picture stays.
//  6. A unit that stays busy (state 1, or a picture that stays cut) for two
//     seconds is given up on: it is read again only when cap.ctl or the slot
//     file's size, time or inode change, and otherwise once a poll.
//
// The reader never writes to the directory. A WriteDirectoryReader is owned
// and called by one thread; the views it hands out are immutable and may be
// shared with any thread.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

namespace selvane::publication {

// A slot file's bytes that passed the completeness check.
struct PublishedPicture {
  QByteArray bytes;
  bool jpeg = false;
  int64_t modifiedSecs = 0;  // the slot file's modification time
  int width = 0;
  int height = 0;
};
using PublishedPicturePtr = std::shared_ptr<const PublishedPicture>;

// What the last look found, apart from the picture itself.
struct DirectoryState {
  bool readable = false;   // the directory can be read right now
  bool hasRecord = false;  // a usable cap.ctl was found
  int state = -1;          // 0 BMP, 2 JPEG (never 1: stores in progress are not shown)
  int nextSlot = 0;
  std::array<bool, 2> written{false, false};
  std::array<QString, 2> texts;  // decoded from CP932, padding removed
  int newestSlot = -1;           // -1: no picture published yet
  int64_t changedMs = 0;         // the caller's clock when the reader last saw a change
  uint64_t pictureSeq = 0;       // grows by one with every new picture
  QString problem;               // why the directory cannot be read
};

// What the last look found. Immutable once handed out.
struct DirectoryView : DirectoryState {
  PublishedPicturePtr picture;  // the last complete picture, kept while unreadable
};
using DirectoryViewPtr = std::shared_ptr<const DirectoryView>;

class WriteDirectoryReader {
 public:
  // `unit` names the unit in log lines. `dir` ends in '/'. `pollMs`: how
  // often a picture that stays cut is read again while the unit is busy.
  WriteDirectoryReader(int unit, QString dir, int pollMs = 200);

  // Looks at the directory (steps 1 to 6 above); true when the view changed.
  // Problems are logged with the unit and the path, at most five lines a
  // minute.
  bool check(int64_t nowMs);

  DirectoryViewPtr view() const { return view_; }
  const QString& dir() const { return dir_; }
  int unit() const { return unit_; }
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

  int unit_;
  QString dir_;
  QByteArray dirBytes_;
  int pollMs_;
  DirectoryViewPtr view_;
  QByteArray lastSignature_;   // what the last finished look saw
  QByteArray triedSignature_;  // what the last read while busy saw
  int64_t triedMs_ = 0;
  int64_t triedBytes_ = 0;  // how much that read took
  bool busy_ = false;
  int64_t busySinceMs_ = 0;
  QString lastLoggedProblem_;
  int64_t logMinute_ = 0;
  int logCount_ = 0;
};

}  // namespace selvane::publication
