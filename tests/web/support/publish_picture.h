// The publishing side of the web reader's tests and benchmarks: one picture
// stored in a write directory by the station's store routine (or in the worst
// order a reader may meet), and pictures to store.
#pragma once

#include <QByteArray>
#include <QString>

namespace webtest {

// Stores `picture` as the unit's next slot in `dir` (ending in '/') with the
// station's own store routine: record with state 1, the picture written
// beside and renamed over the slot file, the final record with `slotText`,
// the CAPDIR marker flipped. False when it was not published.
bool publishPicture(const QString& dir, const QByteArray& picture, bool jpeg, const QString& slotText);

// The same in the order of stations that rewrite the slot file in place (the
// old bytes overwritten, then cut to length, in small writes): the worst case
// for a reader, which must still never show a torn picture.
bool publishPictureInPlace(const QString& dir, const QByteArray& picture, bool jpeg, const QString& slotText);

// A JPEG of `width` x `height` whose pixels and size depend on `seed`, so
// that two seeds never give the same bytes.
QByteArray testJpeg(int seed, int width = 160, int height = 120);

// A 640 x 480 JPEG of about `bytes` bytes: testJpeg's picture behind
// application segments of noise that depends on `seed` (a picture as large as
// a hostile share may hold, quick to make).
QByteArray paddedJpeg(int seed, qsizetype bytes);

// A planar 12-bit BMP as the station stores an unprocessed frame: I420 (or
// IYUV) data of a flat colour with luma `y`, the info header's height as
// the driver reports it (positive).
QByteArray testPlanarBmp(int width, int height, unsigned char y, bool iyuv = false);

// A 24-bit bottom-up BI_RGB BMP with a flat colour.
QByteArray testRgbBmp(int width, int height, unsigned char b, unsigned char g, unsigned char r);

}  // namespace webtest
