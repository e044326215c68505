#include "unit_health.h"

#include <algorithm>
#include <vector>

namespace selvane::web {

const char* healthName(Health health) {
  switch (health) {
    case Health::Ok: return "ok";
    case Health::Waiting: return "waiting";
    case Health::Unreadable: return "unreadable";
    case Health::Frozen: return "frozen";
    case Health::Stale: return "stale";
  }
  return "ok";
}

bool isErrorText(const QString& slotText) { return slotText.contains(QStringLiteral("エラー")); }

// A publication is a new picture, or the same bytes stored again in the other
// slot (the station alternates slots, so a camera that delivers one frame
// over and over still flips the newest slot every time).
void HealthTracker::notePublication(const UnitView& view, int64_t nowMs) {
  if (!view.picture || view.newestSlot < 0) return;
  const bool newBytes = view.pictureSeq != lastSeq_;
  if (!newBytes && view.newestSlot == lastSlot_) return;
  if (facts_.pictures == 0) {
    // The picture found at the first look: dated by its file, and no gap.
    facts_.lastPictureMs = view.changedMs > 0 ? std::min(view.changedMs, nowMs) : nowMs;
    firstGapFromFile_ = true;
  } else {
    if (!firstGapFromFile_) {
      gaps_.push_back(nowMs - facts_.lastPictureMs);
      if (gaps_.size() > kGapsKept) gaps_.pop_front();
    }
    firstGapFromFile_ = false;
    facts_.lastPictureMs = nowMs;
  }
  const QString& text = view.texts[static_cast<size_t>(view.newestSlot)];
  if (isErrorText(text)) {
    facts_.lastError = text;
    facts_.lastErrorMs = facts_.pictures == 0 ? facts_.lastPictureMs : nowMs;
  }
  ++facts_.pictures;
  identicalRun_ = newBytes ? 1 : identicalRun_ + 1;
  lastSeq_ = view.pictureSeq;
  lastSlot_ = view.newestSlot;
}

int64_t HealthTracker::intervalMs() const {
  if (configuredMs_ > 0) return std::max(configuredMs_, kMinIntervalMs);
  if (gaps_.empty()) return kUnknownIntervalMs;
  std::vector<int64_t> sorted(gaps_.begin(), gaps_.end());
  // The lower median: of an even count, the shorter middle gap.
  const size_t middle = (sorted.size() - 1) / 2;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(middle), sorted.end());
  return std::max(sorted[middle], kMinIntervalMs);
}

UnitActivity HealthTracker::activity(const UnitView& view, int64_t nowMs) const {
  UnitActivity a = facts_;
  a.intervalMs = intervalMs();
  a.frozen = identicalRun_ >= kFrozenRun;
  a.stale = a.pictures > 0 && nowMs - a.lastPictureMs > kStaleFactor * a.intervalMs;
  // The most pressing one names the unit; stale before frozen, since a
  // frozen camera that also stopped publishing delivers nothing at all.
  if (!view.readable)
    a.health = Health::Unreadable;
  else if (!view.picture)
    a.health = Health::Waiting;
  else if (a.stale)
    a.health = Health::Stale;
  else if (a.frozen)
    a.health = Health::Frozen;
  else
    a.health = Health::Ok;
  return a;
}

std::shared_ptr<const UnitView> HealthTracker::follow(const std::shared_ptr<const UnitView>& view, bool changed,
                                                      int64_t nowMs) {
  if (changed || !seenAny_) {
    if (!view->readable && lastReadable_) ++facts_.readErrors;
    lastReadable_ = view->readable;
    if (view->readable) notePublication(*view, nowMs);
  }
  const UnitActivity a = activity(*view, nowMs);
  const bool moved = a.health != shown_ || a.stale != shownStale_ || a.frozen != shownFrozen_;
  if (!changed && seenAny_ && !moved) return nullptr;
  seenAny_ = true;
  shown_ = a.health;
  shownStale_ = a.stale;
  shownFrozen_ = a.frozen;
  auto stamped = std::make_shared<UnitView>(*view);
  stamped->activity = a;
  return stamped;
}

}  // namespace selvane::web
