// Whether a unit still delivers, as people who watch a station from afar want
// to know it: a camera that stopped, froze or whose share went away. The
// watcher thread owns one tracker per unit, feeds it every look at the
// directory and stamps the result on the unit's view; the HTTP thread only
// reads the stamped views. Time comes in as an argument, so the rules run
// under a fake clock in tests.
#pragma once

#include "unit_view.h"

#include <QString>

#include <cstdint>
#include <deque>
#include <memory>

namespace selvane::web {

const char* healthName(Health health);  // "ok", "waiting", ... as in the JSON

// Whether a slot text is one of the station's error texts (取込エラー,
// 表示エラー, 書込エラー, ...) rather than a capture time.
bool isErrorText(const QString& slotText);

class HealthTracker {
 public:
  // Bounds of the rules.
  static constexpr int kFrozenRun = 5;    // this many byte-identical pictures in a row: frozen
  static constexpr int kStaleFactor = 3;  // no new picture for this many intervals: stale
  static constexpr int64_t kMinIntervalMs = 1000;
  static constexpr int64_t kUnknownIntervalMs = 10000;  // before two pictures have been seen
  static constexpr size_t kGapsKept = 9;

  // `configuredIntervalMs`: the unit's own interval, 0 when only the
  // pictures can tell (then the median of the recent gaps).
  explicit HealthTracker(int64_t configuredIntervalMs = 0) : configuredMs_(configuredIntervalMs) {}

  // Takes the reader's newest view (`changed`: it is new since the last
  // call). Returns the view stamped with the activity when anything clients
  // see changed (the view, or the health as time passed), else null.
  std::shared_ptr<const UnitView> follow(const std::shared_ptr<const UnitView>& view, bool changed, int64_t nowMs);

  // The activity as of `nowMs` for the view last followed.
  UnitActivity activity(const UnitView& view, int64_t nowMs) const;

 private:
  void notePublication(const UnitView& view, int64_t nowMs);
  int64_t intervalMs() const;

  int64_t configuredMs_;
  bool seenAny_ = false;
  uint64_t lastSeq_ = 0;
  int lastSlot_ = -1;
  bool lastReadable_ = true;
  int identicalRun_ = 0;
  UnitActivity facts_;
  std::deque<int64_t> gaps_;
  bool firstGapFromFile_ = false;
  Health shown_ = Health::Waiting;
  bool shownStale_ = false, shownFrozen_ = false;
};

}  // namespace selvane::web
