// How long the UI thread keeps a posted message waiting: a capture's wait
// holds it back as it holds the operator's input. UI thread only.
#pragma once
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

#include "platform/window.h"

namespace bench {

// Posts a message to a window of the UI thread every 50 ms and records how
// long each waited for its delivery.
class InputProbe {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr UINT kMessage = WM_USER + 501;
  InputProbe() : window_(pl_CreateMessageWindow(&proc, reinterpret_cast<LONG_PTR>(this))) {
    timer_.setInterval(50);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      posted_.push_back(Clock::now());
      PostMessageA(window_, kMessage, posted_.size() - 1, 0);
    });
    timer_.start();
  }
  ~InputProbe() { DestroyWindow(window_); }
  InputProbe(const InputProbe&) = delete;
  InputProbe& operator=(const InputProbe&) = delete;

  // Posts no more; the delays recorded so far stay.
  void stop() { timer_.stop(); }

  // The delay at quantile q (1: the worst), in milliseconds.
  double delayMs(double q) const {
    if (delaysMs_.empty()) return -1;
    std::vector<double> d = delaysMs_;
    const auto k = static_cast<std::ptrdiff_t>(q * static_cast<double>(d.size() - 1));
    std::nth_element(d.begin(), d.begin() + k, d.end());
    return d[static_cast<size_t>(k)];
  }

 private:
  static LRESULT proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != kMessage) return DefWindowProcA(hwnd, msg, wParam, lParam);
    auto* self = reinterpret_cast<InputProbe*>(GetWindowLongA(hwnd, GWL_USERDATA));
    if (self && wParam < self->posted_.size()) {
      self->delaysMs_.push_back(1000.0 * std::chrono::duration<double>(Clock::now() - self->posted_[wParam]).count());
    }
    return 0;
  }

  HWND window_;
  QTimer timer_;
  std::vector<Clock::time_point> posted_;
  std::vector<double> delaysMs_;
};

}  // namespace bench
