#include "stream_client.h"

#include "unit_json.h"
#include "watcher.h"

#include <microhttpd.h>

#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace selvane::web {

namespace {
constexpr size_t kBlockSize = 16 * 1024;
}

StreamClient::StreamClient(Board& board, PictureBudget& budget, MHD_Connection* connection, Kind kind, int index)
    : board_(board), budget_(budget), connection_(connection), kind_(kind), index_(index) {
  if (kind_ == Kind::Pictures)
    pieces_ = {QByteArray("--") + kStreamBoundary + "\r\n"};
  else
    pieces_ = {QByteArray("retry: 2000\n\n")};
  ++(kind_ == Kind::Pictures ? board_.stats.streamClients : board_.stats.feedClients);
}

StreamClient::~StreamClient() { --(kind_ == Kind::Pictures ? board_.stats.streamClients : board_.stats.feedClients); }

MHD_Response* StreamClient::response(StreamClient* client) {
  MHD_Response* r = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, kBlockSize, &StreamClient::read, client,
                                                      &StreamClient::release);
  if (!r) delete client;
  return r;
}

void StreamClient::park() { MHD_suspend_connection(connection_); }

// A parked client sends nothing, so a readable end of file (or an error) on
// its socket means it closed the connection.
bool StreamClient::gone() {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(connection_, MHD_CONNECTION_INFO_CONNECTION_FD);
  if (!info) return false;
  char byte;
  const ssize_t n = ::recv(info->connect_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) gone_ = true;
  return gone_;
}
void StreamClient::unpark() { MHD_resume_connection(connection_); }

ssize_t StreamClient::read(void* cls, uint64_t, char* buf, size_t max) {
  return static_cast<StreamClient*>(cls)->fill(buf, max);
}

void StreamClient::release(void* cls) { delete static_cast<StreamClient*>(cls); }

ssize_t StreamClient::fill(char* buf, size_t max) {
  size_t n = 0;
  while (n < max) {
    if (pieceAt_ >= pieces_.size()) {
      // All sent: the picture is let go before waiting for the next one.
      pieces_.clear();
      held_.reset();
      if (n > 0 || !takeNext()) break;
    }
    const QByteArray& piece = pieces_[pieceAt_];
    const size_t part = std::min(max - n, static_cast<size_t>(piece.size() - offset_));
    std::memcpy(buf + n, piece.constData() + offset_, part);
    n += part;
    offset_ += static_cast<qsizetype>(part);
    if (offset_ >= piece.size()) {
      ++pieceAt_;
      offset_ = 0;
    }
  }
  if (n == 0) return ended_ ? MHD_CONTENT_READER_END_OF_STREAM : 0;
  return static_cast<ssize_t>(n);
}

bool StreamClient::takeNext() {
  if (gone_) {
    ended_ = true;
    return false;
  }
  Board::Next next;
  if (kind_ == Kind::Pictures) {
    UnitViewPtr view;
    next = board_.nextPicture(index_, after_, *this, &view);
    if (next == Board::Next::Ready) {
      ++board_.stats.partsSent;
      if (after_ != 0) board_.stats.partsSkipped += view->pictureSeq - after_ - 1;
      after_ = view->pictureSeq;
      held_ = budget_.hold(view->picture);
      if (!held_) {
        // Past the memory budget: this client ends; it may come back.
        ended_ = true;
        return false;
      }
      // Implicitly shared: references, not copies.
      pieces_ = {held_->partHead, held_->jpeg, QByteArray::fromRawData(kPartTail, sizeof kPartTail - 1)};
    }
  } else {
    uint64_t seq = 0;
    next = board_.nextChange(after_, *this, &seq);
    if (next == Board::Next::Ready) {
      after_ = seq;
      pieces_ = {"event: units\ndata: " + feedJson(board_.views(), wallClockMs()) + "\n\n"};
    }
  }
  ended_ = next == Board::Next::Closed;
  if (next != Board::Next::Ready) return false;
  pieceAt_ = 0;
  offset_ = 0;
  return true;
}

}  // namespace selvane::web
