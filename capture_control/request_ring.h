// The pending capture requests: a ring of 16 slots that holds at most 15.
// Threads: push from any automation caller, pop on the control's window
// thread; one lock guards head, tail and the slots.
#pragma once
#include <array>
#include <cstdint>
#include <mutex>
#include <optional>

namespace korvex {

struct CaptureRequest {
  int32_t unit;   // 0-based
  int32_t fmtno;  // size code + 16 x compression code
  int32_t mtcmp;  // start frames as asked
};

class RequestRing {
 public:
  static constexpr int kSlots = 16;

  bool push(const CaptureRequest& r) {
    std::lock_guard lock(mutex_);
    if ((head_ + 1) % kSlots == tail_) return false;  // full: one slot stays free
    slots_[static_cast<size_t>(head_)] = r;
    head_ = (head_ + 1) % kSlots;
    return true;
  }
  std::optional<CaptureRequest> pop() {
    std::lock_guard lock(mutex_);
    if (head_ == tail_) return std::nullopt;
    CaptureRequest r = slots_[static_cast<size_t>(tail_)];
    tail_ = (tail_ + 1) % kSlots;
    return r;
  }
  bool empty() {
    std::lock_guard lock(mutex_);
    return head_ == tail_;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    head_ = tail_ = 0;
  }

 private:
  std::mutex mutex_;
  std::array<CaptureRequest, kSlots> slots_{};
  int head_ = 0;
  int tail_ = 0;
};

}  // namespace korvex
