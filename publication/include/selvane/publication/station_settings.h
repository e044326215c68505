// The station's settings file "selvanedir.ini" as texts, and what a reader of
// the write directories needs from it: which units publish where, and how
// often. The control screen program applies the same texts to its rows and
// its model (selvane/model/settings_file.h); selvane-web takes its units from
// them.
//
// 13 lines of quoted, comma-separated fields, UTF-8, CR LF line ends:
//   lines 1-6   unit k: use box, save box, device name, size, interval,
//               start frame, compression, write directory
//   line 7      send format, JPEG quality
//   lines 8-13  unit k: the eight picture adjustments
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace selvane::publication {

inline constexpr int kSettingsUnits = 6;
inline constexpr int kSettingsRowFields = 8;
// Only this much of the file is read; a real file is a few hundred bytes.
inline constexpr qsizetype kSettingsReadLimit = 1 << 20;

enum RowField { kUseBox, kSaveBox, kDeviceName, kSize, kInterval, kStartFrame, kCompression, kWriteDir };

using RowFieldTexts = std::array<QString, kSettingsRowFields>;

struct SettingsTexts {
  // A unit row's field missing at the end of the file keeps the text the row
  // before had (the same receiving texts serve every row), so a file that
  // ends early repeats the last unit it had.
  std::array<RowFieldTexts, kSettingsUnits> rows;
  QString sendFormat, jpegQuality;  // empty when missing
  // Empty where missing: the unit keeps its value.
  std::array<RowFieldTexts, kSettingsUnits> adjustments;
};

// The file's text: UTF-8 with or without a byte-order mark; bytes that are no
// valid UTF-8 are read as CP932, as a file carried over from a Windows
// installation would be.
QString decodeSettingsBytes(QByteArrayView bytes);

SettingsTexts readSettingsTexts(const QString& text);

// A check box takes 0, 1 or 2; the text goes through a 16-bit conversion
// first, and a value that fails either is refused (the box keeps its value).
std::optional<int16_t> checkBoxValue(QStringView text);

struct PublishedUnit {
  int number = 0;    // 1..6
  QString writeDir;  // as written in the file
  int intervalMs = 0;
};
// The units both in use and saving, with a write directory, in unit order;
// the interval as the control screen selects it from its list.
std::vector<PublishedUnit> publishedUnits(const SettingsTexts& texts);

}  // namespace selvane::publication
