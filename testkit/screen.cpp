#include "testkit/screen.h"

#include <QScreen>
#include <QWidget>

namespace testkit {

QImage shownWindow(const QWidget& w) { return w.screen()->grabWindow(w.window()->winId()).toImage(); }

QColor shownPixel(const QWidget& w, QPoint p) { return shownWindow(w).pixelColor(w.mapTo(w.window(), p)); }

}  // namespace testkit
