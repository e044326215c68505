// One program per write directory while capture runs: a second copy started
// on the same PC would interleave its slot alternation with ours, and cap.ctl
// could name the other copy's picture.
#include <cstdio>

#include "capture_run/capture_run.h"
#include "selvane/model/text_helpers.h"

namespace selvane {

QString CaptureRun::lockWriteDirs() {
  dirLocks_.clear();
  for (int k = 0; k < model::kUnitCount; ++k) {
    const model::RunFields& run = model_.run[static_cast<size_t>(k)];
    if (run.save != 1) continue;
    bool ours = false;  // units sharing a directory share its lock
    for (const publication::DirectoryLock& lock : dirLocks_) ours = ours || lock.sameDirectory(run.writeDir);
    if (ours) continue;
    publication::DirectoryLock lock;
    std::string why;
    switch (lock.take(run.writeDir, &why)) {
      case publication::DirectoryLock::Outcome::Held: dirLocks_.push_back(std::move(lock)); break;
      case publication::DirectoryLock::Outcome::InUse:
        dirLocks_.clear();
        return model::unitPrefix(k) +
               QStringLiteral("の書込先デレクトリ %1 は別のプログラムが使用中です").arg(run.writeDir);
      case publication::DirectoryLock::Outcome::Unavailable:
        // A file system without locks: capture runs, unguarded.
        std::fprintf(stderr, "selvane: unit %d: %s: cannot lock: %s\n", k + 1, run.writeDir.toUtf8().constData(),
                     why.c_str());
        break;
    }
  }
  return {};
}

}  // namespace selvane
