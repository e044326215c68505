// What selvane-web shows of one unit: the reader's last look at the write
// directory, the picture clients are sent and the health the watcher stamped
// on it. Made on the watcher thread (unit_reader.h, unit_health.h), then
// immutable and shared with the HTTP thread through the board.
#pragma once

#include "picture.h"
#include "selvane/publication/reader.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace selvane::web {

enum class Health { Ok, Waiting, Unreadable, Frozen, Stale };

// What the watcher learned about a unit's pictures over time.
struct UnitActivity {
  Health health = Health::Waiting;
  bool stale = false;
  bool frozen = false;
  uint64_t pictures = 0;      // pictures published since the reader started (the first one found counts)
  int64_t lastPictureMs = 0;  // when the newest one was published (wall clock; the file's time at the first look)
  int64_t intervalMs = 0;     // the gap expected between pictures
  uint64_t readErrors = 0;    // times the directory or its record became unreadable
  QString lastError;          // the last error text the station published as a slot text ("" none)
  int64_t lastErrorMs = 0;    // when the reader first saw it
};

// What clients see of a unit: the reader's look at the directory, with the
// picture as clients are sent it. Immutable once handed to the board.
struct UnitView : publication::DirectoryState {
  int number = 0;         // the unit's number in URLs and on the page
  PicturePtr picture;     // the last complete picture, kept while unreadable
  UnitActivity activity;  // health and counts, stamped by the watcher (unit_health.h)
};
using UnitViewPtr = std::shared_ptr<const UnitView>;

}  // namespace selvane::web
