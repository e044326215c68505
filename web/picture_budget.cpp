#include "picture_budget.h"

namespace selvane::web {

PicturePtr PictureBudget::hold(const PicturePtr& picture) {
  if (!picture) return nullptr;
  {
    std::lock_guard lock(mutex_);
    int& holders = holders_[picture.get()];
    if (holders == 0) {
      const size_t bytes = static_cast<size_t>(picture->footprint());
      if (held_ + bytes > limit_) {
        holders_.erase(picture.get());
        return nullptr;
      }
      held_ += bytes;
    }
    ++holders;
  }
  // The hold keeps the picture alive and gives its place back when the last
  // copy of the hold goes.
  return PicturePtr(picture.get(), [this, keep = picture](const Picture* p) { release(p); });
}

size_t PictureBudget::held() const {
  std::lock_guard lock(mutex_);
  return held_;
}

void PictureBudget::release(const Picture* picture) {
  std::lock_guard lock(mutex_);
  auto it = holders_.find(picture);
  if (it == holders_.end() || --it->second > 0) return;
  held_ -= static_cast<size_t>(picture->footprint());
  holders_.erase(it);
}

}  // namespace selvane::web
