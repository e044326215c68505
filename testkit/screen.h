// What the screen shows of a widget: the window system's copy of its window
// (the offscreen backing store), not QWidget::grab(), which renders the
// widget afresh and so would hide a missing repaint. UI thread only.
#pragma once
#include <QColor>
#include <QImage>
#include <QPoint>

class QWidget;

namespace testkit {

// The whole top-level window that holds `w`.
QImage shownWindow(const QWidget& w);
// The pixel shown at `p` in `w`'s own coordinates.
QColor shownPixel(const QWidget& w, QPoint p);

}  // namespace testkit
