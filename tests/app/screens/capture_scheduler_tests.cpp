// The capture scheduler on a clock and timers of the test's own: when units
// are asked, held and published, in the order a run meets them.
#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

#include "capture_run/capture_scheduler.h"

namespace {

using Asked = std::pair<int, int64_t>;  // unit, time

class CaptureSchedulerTest : public ::testing::Test {
 protected:
  void use(int k, int32_t interval) {
    model_.run[static_cast<size_t>(k)].active = 1;
    model_.run[static_cast<size_t>(k)].interval = interval;
  }
  // The clock moves to `t`: the ticks (one a second from the start) and the
  // deferred calls fall due on the way, in time order.
  void runUntil(int64_t t) {
    for (;;) {
      const int64_t timer = due_.empty() ? INT64_MAX : due_.begin()->first;
      const int64_t next = std::min(timer, nextTick_);
      if (next > t) break;
      now_ = next;
      if (timer <= nextTick_) {
        auto call = std::move(due_.begin()->second);
        due_.erase(due_.begin());
        call();
      } else {
        scheduler_.tick();
        nextTick_ += 1000;
      }
    }
    now_ = t;
  }
  // Unit k's frame arrives at `t` and is handled.
  void frame(int k, int64_t t) {
    runUntil(t);
    model_.run[static_cast<size_t>(k)].capturePending = 0;
    scheduler_.frameHandled(k);
    runUntil(t);
  }

  selvane::model::UnitModel model_;
  int64_t now_ = 0, nextTick_ = 1000;
  std::multimap<int64_t, std::function<void()>> due_;
  std::vector<Asked> asked_;
  bool accept_ = true;
  selvane::CaptureScheduler scheduler_{
      model_,
      [this](int k) {
        asked_.emplace_back(k, now_);
        return accept_;
      },
      [this] { return now_; },
      [this](int64_t ms, std::function<void()> then) { due_.emplace(now_ + ms, std::move(then)); }};
};

TEST_F(CaptureSchedulerTest, UnitsAreAskedAtTheirIntervalNeverSoonerAndAPendingUnitWaits) {
  use(0, 3000);
  use(1, 1000);
  scheduler_.start();
  runUntil(2000);  // unit 2 asked on the first tick, still pending on the second
  frame(1, 2300);  // asked again at once: its interval has passed
  frame(1, 3500);  // pending at the tick of 3000: asked as its frame comes
  frame(1, 3700);  // early: nothing until a second after the last request
  runUntil(4600);
  EXPECT_EQ(asked_, (std::vector<Asked>{{1, 1000}, {1, 2300}, {0, 3000}, {1, 3500}, {1, 4500}}));
  EXPECT_EQ(model_.run[1].capturePending, 1);
  EXPECT_EQ(model_.run[0].elapsed, 1000);

  accept_ = false;  // refused requests leave nothing pending, and count
  frame(0, 4800);
  frame(1, 4800);
  runUntil(6000);
  EXPECT_EQ(asked_.back(), (Asked{0, 6000}));
  EXPECT_EQ(asked_.end()[-2], (Asked{1, 5500}));
  EXPECT_EQ(model_.run[0].capturePending + model_.run[1].capturePending, 0);
  EXPECT_EQ(model_.run[0].elapsed, 0);
}

TEST_F(CaptureSchedulerTest, StopEndsTheRunAndADeferredAskWithIt) {
  use(0, 1000);
  scheduler_.start();
  runUntil(2000);
  frame(0, 2300);
  frame(0, 2600);
  runUntil(3000);  // due again at 3300, a second after its last request
  ASSERT_EQ(due_.size(), 1u);
  scheduler_.stop();
  EXPECT_FALSE(scheduler_.running());
  EXPECT_EQ(model_.run[0].capturePending, 0);
  EXPECT_EQ(model_.run[0].elapsed, 0);
  const size_t before = asked_.size();
  runUntil(3400);
  EXPECT_EQ(asked_.size(), before);
}

TEST_F(CaptureSchedulerTest, PublicationsOfAUnitStayASecondApartAcrossRuns) {
  scheduler_.start();
  EXPECT_EQ(scheduler_.untilPublish(0), 0);
  now_ = 950;
  scheduler_.published(0);
  now_ = 1100;
  EXPECT_EQ(scheduler_.untilPublish(0), 850);
  EXPECT_EQ(scheduler_.untilPublish(1), 0) << "units are paced alone";
  now_ = 1950;
  EXPECT_EQ(scheduler_.untilPublish(0), 0);
  scheduler_.published(0);
  scheduler_.stop();  // Stop and Start again at once: the publication still counts
  scheduler_.start();
  EXPECT_EQ(scheduler_.runNumber(), 2);
  EXPECT_EQ(scheduler_.untilPublish(0), 1000);
}

}  // namespace
