#include "capture_run/capture_scheduler.h"

#include <algorithm>
#include <chrono>

namespace selvane {

CaptureScheduler::CaptureScheduler(model::UnitModel& model, Request request, Clock now, Later later)
    : model_(model), request_(std::move(request)), later_(std::move(later)) {
  setClock(std::move(now));
  if (!later_) {
    later_ = [this](int64_t ms, std::function<void()> then) {
      QTimer::singleShot(static_cast<int>(ms), Qt::PreciseTimer, &context_, std::move(then));
    };
  }
  askedAt_.fill(kNever);
  publishedAt_.fill(kNever);
  ticker_.setInterval(kTickMs);
  QObject::connect(&ticker_, &QTimer::timeout, &context_, [this] { tick(); });
}

void CaptureScheduler::setClock(Clock now) {
  now_ = std::move(now);
  if (!now_) {
    now_ = [] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
    };
  }
}

void CaptureScheduler::start() {
  askedAt_.fill(kNever);
  ++runNumber_;
  ticker_.start();
  running_ = true;
}

void CaptureScheduler::stop() {
  ticker_.stop();
  for (model::RunFields& r : model_.run) {
    r.capturePending = 0;
    r.elapsed = 0;
  }
  running_ = false;
}

void CaptureScheduler::tick() {
  ticker_.stop();
  for (int k = 0; k < model::kUnitCount; ++k) {
    model::RunFields& r = model_.run[static_cast<size_t>(k)];
    if (!r.active) continue;
    r.elapsed += kTickMs;
    if (r.elapsed < r.interval) continue;
    if (r.capturePending) {
      r.elapsed = r.interval;  // hold at the edge until the frame has arrived
      continue;
    }
    if (untilAsk(k, r.interval) > 0) {
      // Asked between two ticks last time: ask when its interval has passed.
      r.elapsed = r.interval;
      askWhenDue(k);
      continue;
    }
    ask(k);
    askedAt_[static_cast<size_t>(k)] = kNever;  // the ticks count this one
    r.elapsed = 0;
  }
  if (running_) ticker_.start();
}

void CaptureScheduler::ask(int k) {
  if (request_(k)) model_.run[static_cast<size_t>(k)].capturePending = 1;
}

void CaptureScheduler::frameHandled(int k) {
  if (!running_ || !model::isUnit(k)) return;
  const model::RunFields& r = model_.run[static_cast<size_t>(k)];
  if (r.active == 1 && r.elapsed >= r.interval) askWhenDue(k);
}

void CaptureScheduler::askWhenDue(int k) {
  bool& scheduled = askScheduled_[static_cast<size_t>(k)];
  if (scheduled) return;
  scheduled = true;
  later_(untilAsk(k, model_.run[static_cast<size_t>(k)].interval), [this, k] {
    askScheduled_[static_cast<size_t>(k)] = false;
    askHeldUnit(k);
  });
}

void CaptureScheduler::askHeldUnit(int k) {
  model::RunFields& r = model_.run[static_cast<size_t>(k)];
  if (!running_ || r.active != 1 || r.capturePending == 1 || r.elapsed < r.interval) return;
  if (untilAsk(k, r.interval) > 0) {
    askWhenDue(k);
    return;
  }
  ask(k);
  askedAt_[static_cast<size_t>(k)] = now_();
  r.elapsed = 0;
}

void CaptureScheduler::published(int k) { publishedAt_[static_cast<size_t>(k)] = now_(); }

int64_t CaptureScheduler::untilAsk(int k, int64_t intervalMs) const {
  return std::max<int64_t>(0, askedAt_[static_cast<size_t>(k)] + intervalMs - now_());
}

int64_t CaptureScheduler::untilPublish(int k) const {
  return std::max<int64_t>(0, publishedAt_[static_cast<size_t>(k)] + kMinPublishGapMs - now_());
}

bool CaptureScheduler::holdForPublication(int k, std::function<void()> again) {
  const int64_t hold = untilPublish(k);
  if (hold <= 0) return false;
  later(hold, [this, runNumber = runNumber_, again = std::move(again)] {
    if (runNumber_ == runNumber) again();
  });
  return true;
}

}  // namespace selvane
