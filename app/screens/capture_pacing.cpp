#include "screens/capture_pacing.h"

#include <algorithm>
#include <chrono>

namespace selvane::screens {

CapturePacing::CapturePacing(Clock now) : now_(std::move(now)) {
  if (!now_) {
    now_ = [] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(
                 std::chrono::steady_clock::now().time_since_epoch())
          .count();
    };
  }
  askedAt_.fill(kNever);
  publishedAt_.fill(kNever);
}

void CapturePacing::restart() { askedAt_.fill(kNever); }

void CapturePacing::asked(int k) { askedAt_[static_cast<size_t>(k)] = now_(); }

void CapturePacing::askedOnTick(int k) { askedAt_[static_cast<size_t>(k)] = kNever; }

void CapturePacing::published(int k) { publishedAt_[static_cast<size_t>(k)] = now_(); }

int64_t CapturePacing::untilAsk(int k, int64_t intervalMs) const {
  return std::max<int64_t>(0, askedAt_[static_cast<size_t>(k)] + intervalMs - now_());
}

int64_t CapturePacing::untilPublish(int k) const {
  return std::max<int64_t>(0, publishedAt_[static_cast<size_t>(k)] + kMinPublishGapMs - now_());
}

}  // namespace selvane::screens
