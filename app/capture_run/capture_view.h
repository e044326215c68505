// What a capture run shows, and where the control and the image library
// write their texts: the run reaches the screens only through these, so it
// holds no widget. The capture screen is the view; the control screen
// lends the text receiver.
// Threads: UI thread only, as the widgets behind them.
#pragma once
#include <QString>
#include <functional>

#include "platform/wintypes.h"
#include "selvane/model/unit_model.h"

namespace selvane {

class CaptureView {
 public:
  enum class Lamp {
    Asked,    // a request is out (green)
    Lost,     // the control dropped the unit's picture (red, the picture box cleared)
    Arrived,  // the picture came and is being handled (cyan)
  };
  virtual void showLamp(int k, Lamp lamp) = 0;
  // The adjustments as unit k's bars and boxes stand now.
  virtual model::Adjustments liveAdjustments(int k) const = 0;
  // Unit k's status box (the capture time or an error text): the control
  // writes the capture time into it by handle.
  virtual HWND statusWindow(int k) const = 0;
  virtual QString statusText(int k) const = 0;
  virtual void setStatusText(int k, const QString& text) = 0;
  // After unit k's capture: when it failed for a cause the operator can
  // mend, what to do about the camera; otherwise that advice goes.
  virtual void showCameraAdvice(int k, bool failed) = 0;
  // The format, compression and size texts of unit k's frame (all empty: none).
  virtual void showFrameDetails(int k, const QString& format, const QString& compression, const QString& size) = 0;

 protected:
  ~CaptureView() = default;
};

// A window the control and the library write a text into by handle, and
// how to read that text back.
struct TextReceiver {
  HWND window = 0;
  std::function<QString()> text;
};

}  // namespace selvane
