// The health rules of a unit under a fake clock: stale after three intervals
// (the unit's own, or the median gap of its pictures), frozen after five
// byte-identical pictures, unreadable and waiting, and which of them wins;
// the last error text the station published.
#include "picture.h"
#include "testkit/web/publish_picture.h"
#include "unit_health.h"
#include "unit_view.h"

#include <gtest/gtest.h>

using namespace selvane::web;

namespace {

// Plays the reader's side: every publication flips the newest slot; new
// bytes give a new picture and sequence number, the same bytes keep both.
struct FakeUnit {
  HealthTracker tracker;
  UnitView view;
  int64_t now = 1'000'000;

  explicit FakeUnit(int64_t intervalMs = 0) : tracker(intervalMs) { view.readable = true; }

  UnitViewPtr look(bool changed = false) { return tracker.follow(std::make_shared<UnitView>(view), changed, now); }
  void publish(int seed, const QString& text = QStringLiteral("2026/12/08 10:00:00")) {
    PicturePtr p = makePicture(webtest::testJpeg(seed), true, now / 1000);
    if (!view.picture || view.picture->stored != p->stored) {
      view.picture = p;
      ++view.pictureSeq;
    }
    view.newestSlot = view.newestSlot == 0 ? 1 : 0;
    view.texts[static_cast<size_t>(view.newestSlot)] = text;
    view.changedMs = now;
    look(true);
  }
  void publishAfter(int64_t ms, int seed) {
    now += ms;
    publish(seed);
  }
  UnitActivity activity() const { return tracker.activity(view, now); }
  Health health() const { return activity().health; }
};

}  // namespace

TEST(WebHealth, StaleAfterThreeOwnIntervalsAndBackWithTheNextPicture) {
  FakeUnit u(2000);
  EXPECT_EQ(u.look()->activity.health, Health::Waiting);
  u.publish(1);
  EXPECT_EQ(u.health(), Health::Ok);
  u.now += 6000;
  EXPECT_EQ(u.look(), nullptr) << "exactly three intervals is not yet stale, and nothing moved";
  u.now += 1;
  const UnitViewPtr stamped = u.look();
  ASSERT_NE(stamped, nullptr) << "going stale must reach the board although the directory did not change";
  EXPECT_EQ(stamped->activity.health, Health::Stale);
  EXPECT_EQ(u.look(), nullptr);
  u.publish(2);
  EXPECT_EQ(u.health(), Health::Ok);
  EXPECT_EQ(u.activity().pictures, 2u);
}

TEST(WebHealth, DirectoryUnitsUseTheMedianGapNeverUnderOneSecond) {
  FakeUnit u;
  u.publish(0);  // the first look: its file's age is no gap
  for (int64_t gap : {3000, 3100, 60000, 2900, 3000}) u.publishAfter(gap, static_cast<int>(gap));
  EXPECT_EQ(u.activity().intervalMs, 3000) << "one long pause does not move the median";
  u.now += 9001;
  EXPECT_EQ(u.health(), Health::Stale);

  FakeUnit fast;
  for (int i = 0; i < 6; ++i) fast.publishAfter(100, i);
  EXPECT_EQ(fast.activity().intervalMs, HealthTracker::kMinIntervalMs);
  fast.now += 2500;
  EXPECT_EQ(fast.health(), Health::Ok);
}

TEST(WebHealth, FrozenAfterFiveIdenticalPicturesStaleWinsUnreadableCounts) {
  FakeUnit u(1000);
  u.publish(7);
  for (int i = 0; i < 3; ++i) u.publishAfter(1000, 7);
  EXPECT_EQ(u.health(), Health::Ok) << "four identical pictures";
  u.publishAfter(1000, 7);
  EXPECT_EQ(u.health(), Health::Frozen);
  EXPECT_EQ(u.activity().pictures, 5u);
  u.now += 3001;
  EXPECT_EQ(u.health(), Health::Stale);
  EXPECT_TRUE(u.activity().frozen);
  u.publish(8, QStringLiteral("表示エラー"));
  EXPECT_EQ(u.health(), Health::Ok) << "a new frame ends it";
  const int64_t errorAt = u.now;
  u.publishAfter(1000, 9);
  EXPECT_EQ(u.activity().lastError, QStringLiteral("表示エラー")) << "kept after good pictures";
  EXPECT_EQ(u.activity().lastErrorMs, errorAt);

  // A share that goes away keeps the picture but is unreadable, once counted.
  u.view.readable = false;
  u.look(true);
  u.look(true);
  EXPECT_EQ(u.health(), Health::Unreadable);
  EXPECT_EQ(u.activity().readErrors, 1u);
  u.view.readable = true;
  u.look(true);
  EXPECT_EQ(u.health(), Health::Ok);
}
