// The full-screen view of one unit (object name Form7): a borderless window over the
// whole display, registered as display slot 6 of the image library. A click
// closes it (it only arrives once the slot holds a picture). UI thread only.
#pragma once
#include <QWidget>

#include "selvane/model/unit_model.h"

namespace selvane::screens {

class FullScreenView : public QWidget {
  Q_OBJECT
 public:
  explicit FullScreenView(model::UnitModel& model);

  // Shown by the capture screen's picture click.
  void open();

 signals:
  // Closed by a click: the capture screen comes back.
  void closedByClick();

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  model::UnitModel& model_;
};

}  // namespace selvane::screens
