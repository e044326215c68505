// The newest view of every unit, shared between the watcher thread (which
// replaces views) and the HTTP thread (which reads them and parks clients
// that wait for the next change). One mutex guards everything here; views and
// pictures are immutable, so a client holds its own reference and never
// copies picture bytes.
#pragma once

#include "server_stats.h"
#include "unit_reader.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace selvane::web {

// A client waiting for a change (a stream or an event feed). park() and
// unpark() run under the board's lock: park() on the HTTP thread from within
// the client's own call to nextOrPark, unpark() on whichever thread changed
// the board. A parked client stays alive until it is unparked.
class Waiter {
 public:
  virtual ~Waiter() = default;
  virtual void park() = 0;
  virtual void unpark() = 0;
  // While parked: whether the client has gone away (then it is unparked and
  // ends). Called under the board's lock on the watcher thread.
  virtual bool gone() = 0;
};

class Board {
 public:
  explicit Board(std::vector<UnitViewPtr> initial);

  int unitCount() const { return static_cast<int>(views_.size()); }
  // Index of the unit with this number, or -1.
  int indexOf(int number) const;

  UnitViewPtr view(int index) const;
  std::vector<UnitViewPtr> views(uint64_t* seq = nullptr) const;

  // Replaces a unit's view and wakes the clients waiting for it.
  void update(int index, UnitViewPtr view);

  enum class Next { Ready, Parked, Closed };
  // For a stream of unit `index`: Ready with the view when its picture is
  // newer than `afterPictureSeq`; otherwise the waiter is parked until the
  // unit's next picture. Closed once the board is closed.
  Next nextPicture(int index, uint64_t afterPictureSeq, Waiter& waiter, UnitViewPtr* out);
  // For a feed of every unit: Ready with the board sequence when anything
  // changed after `afterSeq`; otherwise parked until the next change.
  Next nextChange(uint64_t afterSeq, Waiter& waiter, uint64_t* seq);

  // Lets go of parked clients that have gone away: a parked connection is
  // not watched by the HTTP library, so without this it would hold its place
  // until the unit's next picture.
  void sweepGone();

  // Wakes every parked client for good: what they ask next is answered Closed.
  void close();

  ServerStats stats;  // the reader's own figures, for GET /metrics

 private:
  struct Parked {
    Waiter* waiter;
    int index;  // -1: any change
  };
  mutable std::mutex mutex_;
  std::vector<UnitViewPtr> views_;
  std::vector<Parked> parked_;
  uint64_t seq_ = 1;
  bool closed_ = false;
};

}  // namespace selvane::web
