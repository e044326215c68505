// Numbers in texts, the shared text helpers and the list selection rules.
#include "selvane/model/text_helpers.h"
#include "selvane/publication/list_rules.h"
#include "selvane/publication/numeric_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>

using namespace selvane::model;
using namespace selvane::publication;

namespace {

// A text as the failure message shows it.
std::string str(QStringView text) { return text.toString().toStdString(); }

}  // namespace

TEST(NumericText, LeadingDecimalNumber) {
  // The leading number; only plain decimal numbers count: no exponent, no
  // "&H", no tab, no full-width digit.
  const std::pair<const char16_t*, double> read[] = {{u"75", 75}, {u"   -3", -3},  {u"+2.5abc", 2.5}, {u".5", 0.5},
                                                     {u"5.", 5},  {u"1.2.3", 1.2}, {u"640*480", 640}, {u"1e3", 1}};
  for (const auto& [text, value] : read) EXPECT_EQ(numericValue(text), value) << str(text);
  for (const char16_t* text : {u"", u"abc", u"-", u".", u"&H10", u"\t5", u"- 5", u"５"})
    EXPECT_EQ(numericValue(text), 0.0) << str(text);
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
  for (const auto& [v, rounded] :
       {std::pair{2.5, 2.0}, {3.5, 4.0}, {-2.5, -2.0}, {-3.5, -4.0}, {2.4999, 2.0}, {-0.6, -1.0}})
    EXPECT_EQ(roundHalfEven(v), rounded) << v;
  EXPECT_EQ(wholeNumber(u"74.5"), 74);
  EXPECT_EQ(wholeNumber(u"75.5"), 76);
}

TEST(NumericText, ClampComparesBeforeRounding) {
  // "0.5" is in range and rounds to even 0; "1.5" is above 1 and "-0.4" below
  // 0 before rounding; "0.6" is below 1, so it gives low, not a rounded 1.
  const struct {
    const char16_t* text;
    int32_t low, high, clamped;
  } rows[] = {{u"40", 0, 36, 36}, {u"-3", 0, 20, 0},  {u"0", 1, 10, 1},     {u"0.5", 0, 1, 0}, {u"1.5", 0, 1, 1},
              {u"-0.4", 0, 1, 0}, {u"0.6", 1, 10, 1}, {u"10.5", 0, 20, 10}, {u"x", 1, 10, 1}};
  for (const auto& r : rows) EXPECT_EQ(clampText(r.text, r.low, r.high), r.clamped) << str(r.text);
}

TEST(CompressionText, FourCharacterCodes) {
  const std::pair<int32_t, const char16_t*> codes[] = {
      {0, u"RGB24"},
      {0x56555949, u"IYUV"},
      {0x30323449, u"I420"},
      {0x32, u"2   "},
      {0x3234, u"42  "},
      {-128, u"\u0080\u00FF\u00FF\u00FF"},  // negative: its two's-complement form 0xFFFFFF80
      {1, u"\u0001\u0002\u0002\u0002"},     // odd digit count, read in shifted pairs: "202020201"
  };
  for (const auto& [code, text] : codes) EXPECT_EQ(compressionText(code), QString::fromUtf16(text)) << code;
}

TEST(PathText, DirectoryPart) {
  for (const auto& [path, dir] :
       {std::pair{u"/data/cam1/x.bmp", "/data/cam1/"}, {u"/", "/"}, {u"/data/", "/data/"}, {u"x.bmp", "./"}, {u"", ""}})
    EXPECT_EQ(str(directoryPart(path)), dir) << str(path);
}

TEST(PathText, TrailingSeparator) {
  for (const auto& [dir, withSeparator] :
       {std::pair{u"/", "/"}, {u"/srv/cap", "/srv/cap/"}, {u"/srv/cap/", "/srv/cap/"}, {u"", "/"}})
    EXPECT_EQ(str(withTrailingSeparator(dir)), withSeparator) << str(dir);
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
