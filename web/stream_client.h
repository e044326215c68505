// Long-lived responses: the MJPEG stream of one unit and the page's event
// feed. Each is the content reader of one libmicrohttpd response and owned by
// it (freed when the response is). Reads run on libmicrohttpd's thread; a
// client with nothing new suspends its connection and parks on the board,
// which resumes it from the watcher thread. A client holds at most one piece
// (a shared picture, counted against the picture budget, or one event)
// whatever its speed, and lets go of it as soon as it is sent.
#pragma once

#include "board.h"
#include "picture_budget.h"

#include <QByteArray>

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <vector>

struct MHD_Connection;
struct MHD_Response;

namespace selvane::web {

class StreamClient final : public Waiter {
 public:
  enum class Kind { Pictures, Feed };
  // Counted in the board's stats while alive; `budget` is what stream
  // clients hold their pictures against.
  StreamClient(Board& board, PictureBudget& budget, MHD_Connection* connection, Kind kind, int index);
  ~StreamClient() override;

  // A response that streams this client; it takes ownership.
  static MHD_Response* response(StreamClient* client);

  void park() override;
  void unpark() override;
  bool gone() override;

 private:
  static ssize_t read(void* cls, uint64_t pos, char* buf, size_t max);
  static void release(void* cls);
  ssize_t fill(char* buf, size_t max);
  bool takeNext();  // false: parked or closed (see ended_)

  Board& board_;
  PictureBudget& budget_;
  MHD_Connection* connection_;
  Kind kind_;
  int index_;
  uint64_t after_ = 0;
  PicturePtr held_;                 // the picture being sent, counted against the budget
  std::vector<QByteArray> pieces_;  // what is left to send; shares the picture's bytes
  size_t pieceAt_ = 0;
  qsizetype offset_ = 0;
  bool ended_ = false;
  std::atomic<bool> gone_{false};  // set on the watcher thread while parked
};

}  // namespace selvane::web
