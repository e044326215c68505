// cap.ctl: the byte layout network readers rely on, damaged files, and the
// CP932 slot texts.
#include "selvane/publication/control_record.h"
#include "selvane/publication/cp932.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "testkit/files.h"

using namespace selvane::publication;

namespace {
QByteArray spaces(int n) { return QByteArray(n, ' '); }

QByteArray header(int16_t state, int16_t next, int16_t w0, int16_t w1) {
  QByteArray b;
  for (int16_t v : {state, next, w0, w1}) {
    b.append(char(uint16_t(v) & 0xFF));
    b.append(char(uint16_t(v) >> 8));
  }
  return b;
}
}  // namespace

TEST(ControlRecord, FirstJpegImageOfAUnit) {
  ControlRecord r = readControlFile(QStringLiteral("/nonexistent/dir/cap.ctl"));
  EXPECT_EQ(r, ControlRecord{});
  r.state = ControlRecord::kStateWriting;
  const int slot = r.claimSlot(u"2004/10/10 12:15:10");
  r.state = ControlRecord::kStateJpeg;
  EXPECT_EQ(slot, 0);

  const QByteArray expected = header(2, 1, 1, 0) + QByteArray("2004/10/10 12:15:10 ") + spaces(20);
  EXPECT_EQ(r.encode(), expected);
  EXPECT_EQ(r.encode().size(), 48);
}

TEST(ControlRecord, SlotsAlternateFromTheStoredNextSlot) {
  ControlRecord r;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(r.claimSlot(QString(QChar(u'a' + i))), i % 2) << i;
  EXPECT_EQ(r.nextSlot, 0);
  EXPECT_EQ(r.written, (std::array<int16_t, 2>{1, 1}));
  EXPECT_EQ(r.slotText(0), QStringLiteral("c") + QString(19, u' '));
  EXPECT_EQ(r.slotText(1).trimmed(), QStringLiteral("d"));
}

TEST(ControlRecord, DecodeRoundTripKeepsEveryField) {
  const QByteArray bytes = header(-2, 1, 7, -1) + "0123456789abcdefghij" + "\x8e\xe6\x8d\x9e" + "ABCDEFGHIJKLMNOP";
  const ControlRecord r = ControlRecord::decode(bytes + "trailing bytes are ignored");
  EXPECT_EQ(r.state, -2);
  EXPECT_EQ(r.nextSlot, 1);
  EXPECT_EQ(r.written, (std::array<int16_t, 2>{7, -1}));
  EXPECT_EQ(r.encode(), bytes);
  EXPECT_TRUE(r.slotText(1).startsWith(QStringLiteral("取込ABC")));
}

TEST(ControlRecord, DamagedRecordsStartFresh) {
  const ControlRecord fresh;
  EXPECT_EQ(fresh.encode(), header(0, 0, 0, 0) + spaces(40));
  // Too short.
  EXPECT_EQ(ControlRecord::decode(header(2, 1, 1, 0)), fresh);
  EXPECT_EQ(ControlRecord::decode(QByteArray(47, '\1')), fresh);
  EXPECT_EQ(ControlRecord::decode(QByteArray()), fresh);
  // A next slot that would name a third file.
  for (int16_t next : {int16_t(2), int16_t(-1), int16_t(0x3030)}) {
    ControlRecord r = ControlRecord::decode(header(2, next, 1, 1) + QByteArray(40, 'x'));
    EXPECT_EQ(r, fresh) << next;
    EXPECT_EQ(r.claimSlot(u"t"), 0);
  }
}

TEST(ControlRecord, FilesInTheWriteDirectory) {
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const QString dir = tmp.path() + u'/';
  EXPECT_EQ(controlFilePath(dir), dir + "cap.ctl");
  EXPECT_EQ(imageFilePath(dir, 0, true), dir + "cap0.jpg");
  EXPECT_EQ(imageFilePath(dir, 1, false), dir + "cap1.bmp");
  EXPECT_EQ(markerDirPath(dir), dir + "CAPDIR");

  // Written in place: a longer file keeps its tail, a short one is repaired.
  const QString path = controlFilePath(dir);
  ASSERT_TRUE(testkit::writeFile(path, QByteArray(10, 'z')));
  EXPECT_EQ(readControlFile(path), ControlRecord{});
  ControlRecord r;
  r.claimSlot(u"取込エラー発生");
  ASSERT_TRUE(writeControlFile(path, r));
  EXPECT_EQ(readControlFile(path), r);
  ASSERT_TRUE(testkit::writeFile(path, testkit::readFile(path) + "tail"));
  ASSERT_TRUE(writeControlFile(path, ControlRecord{}));
  EXPECT_EQ(testkit::readFile(path), ControlRecord{}.encode() + "tail");

  EXPECT_FALSE(writeControlFile(dir + "missing/cap.ctl", r));
}

TEST(Cp932, JapaneseTextsRoundTrip) {
  const QByteArray bytes = cp932Field(u"取込エラー発生", 20);
  ASSERT_EQ(bytes.size(), 20);
  EXPECT_EQ(bytes.left(4), QByteArray("\x8e\xe6\x8d\x9e"));
  EXPECT_EQ(bytes.mid(14), spaces(6));
  EXPECT_EQ(fromCp932(bytes), QStringLiteral("取込エラー発生      "));
  EXPECT_EQ(fromCp932(cp932Field(u"ｶﾒﾗ表示エラー①", 20)).trimmed(), QStringLiteral("ｶﾒﾗ表示エラー①"));
}

TEST(Cp932, CutNeverSplitsADoubleByteCharacter) {
  // 19 single bytes, then a double-byte character that would need bytes 20-21.
  const QString text = QString(19, u'a') + QStringLiteral("号");
  const QByteArray bytes = cp932Field(text, 20);
  EXPECT_EQ(bytes, QByteArray(19, 'a') + ' ');
  // Exactly filling the field keeps the character.
  EXPECT_EQ(fromCp932(cp932Field(QString(18, u'a') + QStringLiteral("号機"), 20)),
            QString(18, u'a') + QStringLiteral("号"));
  EXPECT_EQ(cp932Field(QStringLiteral("号機号機号機号機号機号機"), 20).size(), 20);
  EXPECT_EQ(cp932Field(u"", 20), spaces(20));
}

TEST(Cp932, UnmappableAndInvalidBytes) {
  // No CP932 form: an emoji (outside the BMP) and a Hangul syllable.
  EXPECT_EQ(cp932Field(QStringLiteral("a\U0001F600b한"), 6), QByteArray("a?b?  "));
  // A lead byte with no trail, a bare trail-range byte and an undefined byte.
  EXPECT_EQ(fromCp932(QByteArray("\x82") + "A\xff\x82"), QStringLiteral("\uFFFDA\uFFFD\uFFFD"));
}
