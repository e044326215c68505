// The publishing side of the web reader's tests and benchmarks: one picture
// stored in a write directory in the station's store order, and pictures to
// store. Everything that publishes goes through publishPicture, so that it
// can be pointed at the station's own store routine.
#pragma once

#include <QByteArray>
#include <QString>

namespace webtest {

// Stores `picture` as the unit's next slot in `dir` (ending in '/'), in the
// station's order: record with state 1; the slot file written in place (the
// old bytes overwritten, then cut to length, in small writes, so a reader
// that ignores the record would catch it half-written); record with state 2
// (JPEG) or 0 (BMP), the next slot moved on and `slotText` stored for the
// slot; the CAPDIR marker flipped. False when a step failed.
bool publishPicture(const QString& dir, const QByteArray& picture, bool jpeg, const QString& slotText);

// A JPEG of `width` x `height` whose pixels and size depend on `seed`, so
// that two seeds never give the same bytes.
QByteArray testJpeg(int seed, int width = 160, int height = 120);

// A planar 12-bit BMP as the station stores an unprocessed frame: I420 (or
// IYUV) data of a flat colour with luma `y`, the info header's height as
// the driver reports it (positive).
QByteArray testPlanarBmp(int width, int height, unsigned char y, bool iyuv = false);

// A 24-bit bottom-up BI_RGB BMP with a flat colour.
QByteArray testRgbBmp(int width, int height, unsigned char b, unsigned char g, unsigned char r);

}  // namespace webtest
