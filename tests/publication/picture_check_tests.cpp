// The completeness check of a stored picture, as a reader applies it to
// whatever another computer left in a share.
#include "selvane/publication/picture_check.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include "testkit/pictures.h"

namespace {

QByteArray jpegOf(int width, int height) {
  const Bytes bgr(static_cast<size_t>(width * height * 3), 0x80);
  const Bytes jpeg = encodeJpeg(bgr, width, height, 80);
  return QByteArray(reinterpret_cast<const char*>(jpeg.data()), static_cast<qsizetype>(jpeg.size()));
}

// A file whose header the decoder chokes on must not leave the checker
// refusing every later picture (one hostile file would hide all units).
TEST(PictureCheck, ADamagedHeaderDoesNotBlindTheCheckToLaterPictures) {
  const QByteArray good = jpegOf(32, 24);
  ASSERT_TRUE(selvane::publication::isCompleteJpeg(good));
  QByteArray damaged = good;
  for (qsizetype i = 10; i < 52; ++i) damaged[i] = char(0xFF);  // the JFIF segment's body and beyond
  for (int round = 0; round < 3; ++round) {
    EXPECT_FALSE(selvane::publication::isCompleteJpeg(damaged));
    int width = 0, height = 0;
    EXPECT_TRUE(selvane::publication::isCompleteJpeg(good, &width, &height)) << "round " << round;
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 24);
  }
}

}  // namespace
