// The memory budget for pictures that clients hold. A client that is sending
// a picture (a stream part, or /latest to a client that reads slowly) keeps
// that picture alive after the board has moved on; a picture held by any
// number of clients is counted once. A client whose picture would take the
// total past the budget gets nothing (its stream ends, /latest answers 503).
//
// Threads: holds are taken and dropped on libmicrohttpd's thread (and by
// whichever thread frees a response); one mutex guards the count.
#pragma once

#include "picture.h"

#include <cstddef>
#include <mutex>
#include <unordered_map>

namespace selvane::web {

class PictureBudget {
 public:
  explicit PictureBudget(size_t limitBytes) : limit_(limitBytes) {}

  // A reference to `picture` that counts against the budget until the last
  // copy of it goes; empty when the budget has no room for it.
  PicturePtr hold(const PicturePtr& picture);
  size_t held() const;

 private:
  void release(const Picture* picture);

  const size_t limit_;
  mutable std::mutex mutex_;
  size_t held_ = 0;
  std::unordered_map<const Picture*, int> holders_;
};

}  // namespace selvane::web
