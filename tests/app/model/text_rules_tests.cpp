// Numbers in texts, the shared text helpers and the list selection rules.
#include "selvane/model/text_helpers.h"
#include "selvane/publication/list_rules.h"
#include "selvane/publication/numeric_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace selvane::model;
using namespace selvane::publication;

TEST(NumericText, LeadingDecimalNumber) {
  EXPECT_EQ(numericValue(u"75"), 75.0);
  EXPECT_EQ(numericValue(u"   -3"), -3.0);
  EXPECT_EQ(numericValue(u"+2.5abc"), 2.5);
  EXPECT_EQ(numericValue(u".5"), 0.5);
  EXPECT_EQ(numericValue(u"5."), 5.0);
  EXPECT_EQ(numericValue(u"1.2.3"), 1.2);
  EXPECT_EQ(numericValue(u"640*480"), 640.0);
  // Only plain decimal numbers count.
  EXPECT_EQ(numericValue(u""), 0.0);
  EXPECT_EQ(numericValue(u"abc"), 0.0);
  EXPECT_EQ(numericValue(u"-"), 0.0);
  EXPECT_EQ(numericValue(u"."), 0.0);
  EXPECT_EQ(numericValue(u"&H10"), 0.0);
  EXPECT_EQ(numericValue(u"1e3"), 1.0);
  EXPECT_EQ(numericValue(u"\t5"), 0.0);
  EXPECT_EQ(numericValue(u"- 5"), 0.0);
  EXPECT_EQ(numericValue(u"５"), 0.0);  // full-width digit
}

TEST(NumericText, ExtremeDigitRuns) {
  const QString many(400, u'9');
  EXPECT_TRUE(std::isinf(numericValue(many)));
  EXPECT_LT(numericValue(u'-' + many), 0.0);
  EXPECT_EQ(numericValue(QStringLiteral("0.") + QString(400, u'0') + u'1'), 0.0);
  EXPECT_EQ(clampText(many, 0, 36), 36);
  EXPECT_EQ(clampText(u'-' + many, 0, 36), 0);
  EXPECT_FALSE(wholeNumber(many).has_value());
  EXPECT_FALSE(toInt32(2147483647.5).has_value());  // rounds to 2^31
  EXPECT_EQ(toInt32(-2147483648.4), std::numeric_limits<int32_t>::min());
  EXPECT_FALSE(toInt16(32768.0).has_value());
  EXPECT_EQ(toInt16(-32768.0), int16_t(-32768));
}

TEST(NumericText, RoundsHalvesToEven) {
  EXPECT_EQ(roundHalfEven(2.5), 2.0);
  EXPECT_EQ(roundHalfEven(3.5), 4.0);
  EXPECT_EQ(roundHalfEven(-2.5), -2.0);
  EXPECT_EQ(roundHalfEven(-3.5), -4.0);
  EXPECT_EQ(roundHalfEven(2.4999), 2.0);
  EXPECT_EQ(roundHalfEven(-0.6), -1.0);
  EXPECT_EQ(wholeNumber(u"74.5"), 74);
  EXPECT_EQ(wholeNumber(u"75.5"), 76);
}

TEST(NumericText, ClampComparesBeforeRounding) {
  EXPECT_EQ(clampText(u"40", 0, 36), 36);
  EXPECT_EQ(clampText(u"-3", 0, 20), 0);
  EXPECT_EQ(clampText(u"0", 1, 10), 1);
  EXPECT_EQ(clampText(u"0.5", 0, 1), 0);   // in range, rounds to even 0
  EXPECT_EQ(clampText(u"1.5", 0, 1), 1);   // above 1 before rounding
  EXPECT_EQ(clampText(u"-0.4", 0, 1), 0);  // below 0 before rounding
  EXPECT_EQ(clampText(u"0.6", 1, 10), 1);  // below 1: low, not rounded
  EXPECT_EQ(clampText(u"10.5", 0, 20), 10);
  EXPECT_EQ(clampText(u"x", 1, 10), 1);
}

TEST(CompressionText, FourCharacterCodes) {
  EXPECT_EQ(compressionText(0), QStringLiteral("RGB24"));
  EXPECT_EQ(compressionText(0x56555949), QStringLiteral("IYUV"));
  EXPECT_EQ(compressionText(0x30323449), QStringLiteral("I420"));
  EXPECT_EQ(compressionText(0x32), QStringLiteral("2   "));
  EXPECT_EQ(compressionText(0x3234), QStringLiteral("42  "));
  // Negative codes in their two's-complement form: 0xFFFFFF80.
  const QString neg = compressionText(-128);
  ASSERT_EQ(neg.size(), 4);
  EXPECT_EQ(neg[0].unicode(), 0x80);
  EXPECT_EQ(neg[1].unicode(), 0xFF);
  EXPECT_EQ(neg[3].unicode(), 0xFF);
  // An odd number of digits is read in shifted pairs: "202020201" -> 02 02 02 01.
  const QString odd = compressionText(1);
  ASSERT_EQ(odd.size(), 4);
  EXPECT_EQ(odd[0].unicode(), 0x01);
  EXPECT_EQ(odd[1].unicode(), 0x02);
  EXPECT_EQ(odd[3].unicode(), 0x02);
}

TEST(PathText, DirectoryPart) {
  EXPECT_EQ(directoryPart(u"/data/cam1/x.bmp"), QStringLiteral("/data/cam1/"));
  EXPECT_EQ(directoryPart(u"/"), QStringLiteral("/"));
  EXPECT_EQ(directoryPart(u"/data/"), QStringLiteral("/data/"));
  EXPECT_EQ(directoryPart(u"x.bmp"), QStringLiteral("./"));
  EXPECT_EQ(directoryPart(u""), QString());
}

TEST(PathText, TrailingSeparator) {
  EXPECT_EQ(withTrailingSeparator(u"/"), QStringLiteral("/"));
  EXPECT_EQ(withTrailingSeparator(u"/srv/cap"), QStringLiteral("/srv/cap/"));
  EXPECT_EQ(withTrailingSeparator(u"/srv/cap/"), QStringLiteral("/srv/cap/"));
  EXPECT_EQ(withTrailingSeparator(u""), QStringLiteral("/"));
}

TEST(PathText, UnitPrefix) {
  EXPECT_EQ(unitPrefix(2), QStringLiteral(" 3号機 "));
  EXPECT_EQ(unitPrefix(0) + QStringLiteral("の書込先デレクトリが未入力です"),
            QStringLiteral(" 1号機 の書込先デレクトリが未入力です"));
}

TEST(ListRules, LoaderRuleFallsBackToFirst) {
  const QStringList& sizes = rowListItems(RowList::Size);
  EXPECT_EQ(selectionFirstFallback(sizes, u"160*120"), 2);
  EXPECT_EQ(selectionFirstFallback(sizes, u"800*600"), 0);
  EXPECT_EQ(selectionFirstFallback(sizes, u""), 0);
  EXPECT_EQ(selectionFirstFallback({}, u"640*480"), -1);
  EXPECT_EQ(selectionFirstFallback({"a", "b", "a"}, u"a"), 0);  // first equal item
}

TEST(ListRules, LastFallback) {
  const QStringList rotation{"18", "0", "-18"};
  EXPECT_EQ(selectionLastFallback(rotation, u"0"), 1);
  EXPECT_EQ(selectionLastFallback(rotation, u"25"), 2);
  EXPECT_EQ(selectionLastFallback({}, u"0"), -1);
}

TEST(ListRules, PositionIsOneBasedAndCaseExact) {
  const QStringList& comp = rowListItems(RowList::Compression);
  EXPECT_EQ(positionInList(comp, u"RGB"), 3);
  EXPECT_EQ(positionInList(comp, u"IYUV"), 1);
  EXPECT_EQ(positionInList(comp, u"rgb"), 0);
  EXPECT_EQ(positionInList({}, u"RGB"), 0);
}
