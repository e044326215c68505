#include "board.h"

#include <algorithm>

namespace selvane::web {

Board::Board(std::vector<UnitViewPtr> initial) : views_(std::move(initial)) {}

int Board::indexOf(int number) const {
  for (size_t i = 0; i < views_.size(); ++i)
    if (views_[i]->number == number) return static_cast<int>(i);
  return -1;
}

UnitViewPtr Board::view(int index) const {
  std::lock_guard lock(mutex_);
  return views_.at(static_cast<size_t>(index));
}

std::vector<UnitViewPtr> Board::views(uint64_t* seq) const {
  std::lock_guard lock(mutex_);
  if (seq) *seq = seq_;
  return views_;
}

void Board::update(int index, UnitViewPtr view) {
  std::lock_guard lock(mutex_);
  const bool newPicture = view->pictureSeq != views_.at(static_cast<size_t>(index))->pictureSeq;
  views_[static_cast<size_t>(index)] = std::move(view);
  ++seq_;
  // Wake the waiters this change concerns; the others stay parked.
  auto woken = std::stable_partition(parked_.begin(), parked_.end(), [&](const Parked& p) {
    return !(p.index < 0 || (p.index == index && newPicture));
  });
  for (auto it = woken; it != parked_.end(); ++it) it->waiter->unpark();
  parked_.erase(woken, parked_.end());
}

Board::Next Board::nextPicture(int index, uint64_t afterPictureSeq, Waiter& waiter, UnitViewPtr* out) {
  std::lock_guard lock(mutex_);
  if (closed_) return Next::Closed;
  const UnitViewPtr& v = views_.at(static_cast<size_t>(index));
  if (v->picture && !v->picture->jpeg.isEmpty() && v->pictureSeq > afterPictureSeq) {
    *out = v;
    return Next::Ready;
  }
  waiter.park();
  parked_.push_back({&waiter, index});
  return Next::Parked;
}

Board::Next Board::nextChange(uint64_t afterSeq, Waiter& waiter, uint64_t* seq) {
  std::lock_guard lock(mutex_);
  if (closed_) return Next::Closed;
  if (seq_ > afterSeq) {
    *seq = seq_;
    return Next::Ready;
  }
  waiter.park();
  parked_.push_back({&waiter, -1});
  return Next::Parked;
}

void Board::sweepGone() {
  std::lock_guard lock(mutex_);
  auto gone = std::stable_partition(parked_.begin(), parked_.end(), [](const Parked& p) { return !p.waiter->gone(); });
  for (auto it = gone; it != parked_.end(); ++it) it->waiter->unpark();
  parked_.erase(gone, parked_.end());
}

void Board::close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  for (const Parked& p : parked_) p.waiter->unpark();
  parked_.clear();
}

}  // namespace selvane::web
