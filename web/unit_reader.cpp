#include "unit_reader.h"

namespace selvane::web {

UnitReader::UnitReader(int number, QString dir, int pollMs) : reader_(number, std::move(dir), pollMs) { follow(); }

bool UnitReader::check(int64_t nowMs) {
  const bool changed = reader_.check(nowMs);
  follow();
  return changed;
}

// A new view of the directory becomes a new UnitView; a new picture is
// converted once, here on the watcher thread, and shared by every client.
void UnitReader::follow() {
  const publication::DirectoryViewPtr d = reader_.view();
  if (d == seen_) return;
  seen_ = d;
  auto v = std::make_shared<UnitView>();
  static_cast<publication::DirectoryState&>(*v) = *d;
  v->number = reader_.unit();
  if (view_ && d->picture == convertedFrom_) {
    v->picture = view_->picture;
  } else {
    convertedFrom_ = d->picture;
    v->picture = d->picture ? makePicture(*d->picture) : nullptr;
  }
  view_ = std::move(v);
}

}  // namespace selvane::web
