// When each unit may be asked for its next picture, and when its picture may
// be published. A unit is asked its interval after its last request; readers
// that poll the marker or cap.ctl at the control's one-second tick rely on
// two publications of one unit never coming closer than a second, so a
// picture that arrives sooner after the unit's last publication (a late one
// followed by an early one) is held until that second has passed. Holding
// the picture rather than delaying the next request keeps each unit at its
// interval: a request a second after the last publication would add the
// capture's own time to every interval.
// Only the monotonic clock counts: a step of the wall clock changes nothing.
// Threads: the capture scheduler's (the UI thread).
#pragma once
#include <array>
#include <cstdint>
#include <functional>

#include "selvane/model/unit_model.h"

namespace selvane::screens {

class CapturePacing {
 public:
  static constexpr int64_t kMinPublishGapMs = 1000;
  using Clock = std::function<int64_t()>;  // milliseconds, monotonic

  explicit CapturePacing(Clock now = {});

  // A new run: no request counts any more (publications still do).
  void restart();
  // Asked between two ticks: the clock counts its interval. Asked on a tick:
  // the ticks count it (the scheduler's own count).
  void asked(int k);
  void askedOnTick(int k);
  void published(int k);
  // Milliseconds until unit k may be asked (0: now).
  int64_t untilAsk(int k, int64_t intervalMs) const;
  // Milliseconds unit k's new picture must wait before it is published.
  int64_t untilPublish(int k) const;

 private:
  static constexpr int64_t kNever = INT64_MIN / 2;
  Clock now_;
  std::array<int64_t, model::kUnitCount> askedAt_{};
  std::array<int64_t, model::kUnitCount> publishedAt_{};
};

}  // namespace selvane::screens
