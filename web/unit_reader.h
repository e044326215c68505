// One unit as selvane-web shows it: the write-directory reader of the
// publication library (selvane/publication/reader.h, where the reader recipe
// is) looks at the directory, and each new complete picture becomes the JPEG,
// tag and stream part every client is sent. Owned and called by the watcher
// thread only; the views it hands out are immutable and go to the board.
#pragma once

#include "selvane/publication/reader.h"
#include "unit_view.h"

#include <QString>

#include <cstdint>

namespace selvane::web {

class UnitReader {
 public:
  // `dir` ends in '/'. `pollMs`: how often a picture that stays cut is read
  // again while the unit is busy.
  UnitReader(int number, QString dir, int pollMs = 200);

  // Looks at the directory; returns true when the view changed.
  bool check(int64_t nowMs);

  UnitViewPtr view() const { return view_; }
  const QString& dir() const { return reader_.dir(); }
  // A store was under way or the picture was not yet whole at the last check:
  // look again soon rather than at the next poll (for at most two seconds).
  bool busy() const { return reader_.busy(); }

  // Largest slot file read; a bigger one is refused unread.
  static constexpr int64_t kMaxFileSize = publication::WriteDirectoryReader::kMaxFileSize;

 private:
  void follow();

  publication::WriteDirectoryReader reader_;
  publication::DirectoryViewPtr seen_;              // what view_ was made from
  publication::PublishedPicturePtr convertedFrom_;  // what view_->picture was made from
  UnitViewPtr view_;
};

}  // namespace selvane::web
