// The capture scheduler: every second (the control's tick) each active unit
// counts its interval, and a unit whose interval has run out is asked for
// its next picture unless its last one is still pending.
//
// A unit is asked its interval after its last request; readers that poll the
// marker or cap.ctl at the control's one-second tick rely on two
// publications of one unit never coming closer than a second, so a picture
// that arrives sooner after the unit's last publication (a late one followed
// by an early one) is held until that second has passed. Holding the picture
// rather than delaying the next request keeps each unit at its interval: a
// request a second after the last publication would add the capture's own
// time to every interval.
// Only the monotonic clock counts: a step of the wall clock changes nothing.
// No widgets: tests drive it with a clock and timers of their own.
// Threads: the UI thread owns it, its ticks and its deferred calls.
#pragma once
#include <QObject>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>

#include "selvane/model/unit_model.h"

namespace selvane {

class CaptureScheduler {
 public:
  static constexpr int kTickMs = 1000;
  static constexpr int64_t kMinPublishGapMs = 1000;
  using Clock = std::function<int64_t()>;  // milliseconds, monotonic
  // Runs `then` once, `ms` from now, unless the scheduler has gone by then.
  using Later = std::function<void(int64_t ms, std::function<void()> then)>;
  // Asks unit k (0-based) for a picture; true when the control took the request.
  using Request = std::function<bool(int k)>;

  // Without `now` the steady clock counts, without `later` a single-shot timer.
  CaptureScheduler(model::UnitModel& model, Request request, Clock now = {}, Later later = {});
  CaptureScheduler(const CaptureScheduler&) = delete;
  CaptureScheduler& operator=(const CaptureScheduler&) = delete;

  void setClock(Clock now);
  // A new run: no request counts any more (publications still do); ticks start.
  void start();
  // Ticks end; no unit is pending and none has counted any of its interval.
  void stop();
  bool running() const { return running_; }
  // Counts the runs (each start): a picture held back for publication
  // belongs to the run it was asked in.
  int runNumber() const { return runNumber_; }
  QTimer& ticker() { return ticker_; }

  // One tick (Timer1).
  void tick();
  // The capture event of unit k has been handled. A unit whose interval ran
  // out while its frame was pending is asked as soon as its interval has
  // passed since its last request (at once, or later), not on the next tick:
  // otherwise a unit whose frame comes just after a tick waits a whole extra
  // second, and six units at 1000 ms would get a picture only every second
  // tick or so. A unit is never asked sooner than its interval after its
  // last request.
  void frameHandled(int k);

  void published(int k);
  // Milliseconds unit k's new picture must wait before it is published.
  int64_t untilPublish(int k) const;
  // Two publications of a unit are never closer than a second: when unit
  // k's picture must wait, `again` runs once it may be published (unless a
  // new run has started by then) and this returns true.
  bool holdForPublication(int k, std::function<void()> again);
  void later(int64_t ms, std::function<void()> then) { later_(ms, std::move(then)); }

 private:
  static constexpr int64_t kNever = INT64_MIN / 2;
  // Milliseconds until unit k may be asked (0: now).
  int64_t untilAsk(int k, int64_t intervalMs) const;
  void ask(int k);
  void askWhenDue(int k);
  void askHeldUnit(int k);

  model::UnitModel& model_;
  Request request_;
  Clock now_;
  Later later_;
  QObject context_;  // ends the deferred calls with the scheduler
  QTimer ticker_;
  // When a unit was last asked between two ticks (kNever: on a tick, whose
  // count stands for the time).
  std::array<int64_t, model::kUnitCount> askedAt_{};
  std::array<int64_t, model::kUnitCount> publishedAt_{};
  std::array<bool, model::kUnitCount> askScheduled_{};
  bool running_ = false;
  int runNumber_ = 0;
};

}  // namespace selvane
