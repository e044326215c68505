// The board of the fan-out benchmarks: one unit with a 640x480 picture, and
// four others put on the board in turn, each waking every stream client.
#pragma once

#include <memory>
#include <vector>

#include "board.h"
#include "picture.h"
#include "testkit/web/publish_picture.h"

namespace webbench {

class FanOutBoard {
 public:
  FanOutBoard() : board_({firstView()}) {
    for (int i = 0; i < 4; ++i)
      pictures_.push_back(selvane::web::makePicture(webtest::testJpeg(i + 1, 640, 480), true, 0));
  }
  selvane::web::Board& board() { return board_; }
  // Puts the next picture on the board; the bytes each stream client gets.
  int64_t publishNext() {
    auto v = std::make_shared<selvane::web::UnitView>(*board_.view(0));
    v->picture = pictures_[seq_ % pictures_.size()];
    v->pictureSeq = ++seq_;
    board_.update(0, v);
    return v->picture->partSize();
  }
  int64_t partSize() const { return pictures_[0]->partSize(); }

 private:
  static selvane::web::UnitViewPtr firstView() {
    auto first = std::make_shared<selvane::web::UnitView>();
    first->number = 1;
    first->readable = true;
    first->picture = selvane::web::makePicture(webtest::testJpeg(0, 640, 480), true, 0);
    first->pictureSeq = 1;
    return first;
  }
  selvane::web::Board board_;
  std::vector<selvane::web::PicturePtr> pictures_;
  uint64_t seq_ = 1;
};

}  // namespace webbench
