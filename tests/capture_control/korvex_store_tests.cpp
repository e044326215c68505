// What the host reads back after a capture: status texts and the BMP file.
#include <QDate>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include "testkit/korvex_host.h"

namespace korvextest {
namespace {

class KorvexStoreTest : public KorvexTest {
 protected:
  // The status text `id` shows for `unit` in the sixth text box, "<refused>" when refused.
  std::string status(DISPID id, int32_t unit) {
    texts_[5]->setText("-");
    if (call(id, unit, h(texts_[5])) != 1) return "<refused>";
    return text(texts_[5]);
  }
};

TEST_F(KorvexStoreTest, TextsBeforeAnyCapture) {
  startRun();
  EXPECT_EQ(status(DISPID_KORVEX_DspFmtTyp, 0), "000 * 000");
  EXPECT_EQ(status(DISPID_KORVEX_DspCmpTyp, 0), "RGB24");
  EXPECT_EQ(status(DISPID_KORVEX_DspGetSize, 0), "000000 Byte");
  EXPECT_EQ(status(DISPID_KORVEX_DspGetDay, 0), "0000/00/00 00:00:00");
  // Units are accepted below the device count (3 cameras) and below 12.
  for (int32_t refused : {-1, 3, 12}) {
    EXPECT_EQ(status(DISPID_KORVEX_DspFmtTyp, refused), "<refused>");
    EXPECT_EQ(texts_[5]->text(), "-");
  }
  EXPECT_EQ(call(DISPID_KORVEX_DspGetSize, int32_t{0}, int32_t{12345}), 1);  // unknown window: nothing shown
}

TEST_F(KorvexStoreTest, RgbFrameTextsAndBmpFile) {
  startRun();
  ASSERT_EQ(captureOnce(1, KORVEX_SIZE_640x480 + 16 * KORVEX_COMP_RGB), KORVEX_CAPTURED);
  EXPECT_EQ(status(DISPID_KORVEX_DspFmtTyp, 0), "640 * 480");
  EXPECT_EQ(status(DISPID_KORVEX_DspCmpTyp, 0), "RGB24");
  EXPECT_EQ(status(DISPID_KORVEX_DspGetSize, 0), "921600 Byte");
  const QString day = QString::fromStdString(status(DISPID_KORVEX_DspGetDay, 0));
  EXPECT_TRUE(QRegularExpression(R"(^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d$)").match(day).hasMatch()) << day.toStdString();
  EXPECT_EQ(day.left(4).toInt(), QDate::currentDate().year());

  QTemporaryDir dir;
  const QString path = dir.filePath("selvane.bmp");
  EXPECT_EQ(control_.callInt(DISPID_KORVEX_WriteBmp, int32_t{0}, path.toStdString()), 0);
  const QByteArray bytes = testkit::readFile(path);
  ASSERT_EQ(bytes.size(), 921654);
  auto u32 = [&](int at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
  auto u16 = [&](int at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
  EXPECT_EQ(bytes.left(2), "BM");
  EXPECT_EQ(u32(2), 921654u);
  EXPECT_EQ(u32(6), 0u);
  EXPECT_EQ(u32(10), 54u);
  EXPECT_EQ(u32(14), 40u);
  EXPECT_EQ(u32(18), 640u);
  EXPECT_EQ(u32(22), 480u);
  EXPECT_EQ(u16(26), 1u);
  EXPECT_EQ(u16(28), 24u);
  EXPECT_EQ(u32(30), 0u);

  // Refused units write no file.
  for (int32_t refused : {-1, 3, 12}) {
    const QString other = dir.filePath(QString("refused%1.bmp").arg(refused));
    EXPECT_EQ(control_.callInt(DISPID_KORVEX_WriteBmp, refused, other.toStdString()), 0);
    EXPECT_FALSE(QFile::exists(other));
  }
  EXPECT_EQ(control_.callInt(DISPID_KORVEX_WriteBmp, int32_t{0}, std::string("/no/such/dir/x.bmp")), 0);
}

TEST_F(KorvexStoreTest, SmallPlanarFrameAndAFailedCaptureKeepTheFormat) {
  useCameras({{"ok"}, {"no frames", {}, 30, CG_VCAM_NO_FRAMES}});
  startRun();
  ASSERT_EQ(captureOnce(1, KORVEX_SIZE_160x124 + 16 * KORVEX_COMP_I420), KORVEX_CAPTURED);
  EXPECT_EQ(status(DISPID_KORVEX_DspFmtTyp, 0), "160 * 124");
  EXPECT_EQ(status(DISPID_KORVEX_DspCmpTyp, 0), "I420");
  EXPECT_EQ(status(DISPID_KORVEX_DspGetSize, 0), "029760 Byte");
  ASSERT_EQ(captureOnce(1, KORVEX_SIZE_160x124 + 16 * KORVEX_COMP_IYUV), KORVEX_CAPTURED);
  EXPECT_EQ(status(DISPID_KORVEX_DspCmpTyp, 0), "IYUV");
  // No format found: the earlier format stays on record.
  ASSERT_EQ(captureOnce(1, KORVEX_SIZE_160x124), KORVEX_NO_FORMAT);
  EXPECT_EQ(status(DISPID_KORVEX_DspCmpTyp, 0), "IYUV");
  EXPECT_EQ(status(DISPID_KORVEX_DspGetSize, 0), "000000 Byte");
}

}  // namespace
}  // namespace korvextest
