#include "selvane/model/settings_file.h"

#include "selvane/publication/cp932.h"
#include "selvane/publication/field_reader.h"
#include "selvane/publication/numeric_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace selvane::model {

namespace {

constexpr int kRowFields = 8;

// A field that is missing leaves the receiving text as it was.
void readInto(FieldReader& reader, QString& receiving) {
  if (auto field = reader.next()) receiving = std::move(*field);
}

void select(SettingsTarget& rows, int k, RowList list, QStringView text) {
  const int index = selectionFirstFallback(rows.listItems(k, list), text);
  if (index >= 0) rows.selectListItem(k, list, index);
}

// A check box takes 0, 1 or 2; the text goes through a 16-bit conversion
// first, and a value that fails either is refused (the box keeps its value).
std::optional<int16_t> checkBoxValue(QStringView text) {
  const auto v = toInt16(numericValue(text));
  if (!v || *v < 0 || *v > 2) return std::nullopt;
  return v;
}

}  // namespace

QString settingsFilePath(QStringView startupDir) {
  return startupDir.toString() + QLatin1String(kSettingsFileName);
}

bool settingsFilePresent(const QString& startupDir) {
  // Listing, not a lookup by name: on a case-insensitive file system a
  // lookup would also find "SELVANEDIR.INI", which does not count.
  const QDir dir(startupDir.isEmpty() ? QStringLiteral(".") : startupDir);
  const QStringList names = dir.entryList(QStringList{QLatin1String(kSettingsFileName)},
                                          QDir::Files | QDir::Hidden | QDir::System);
  return names.contains(QLatin1String(kSettingsFileName), Qt::CaseSensitive);
}

void resetRows(SettingsTarget& rows) {
  for (int k = 0; k < kUnitCount; ++k) {
    rows.setUseBox(k, 0);
    rows.setSaveBox(k, 0);
    rows.setDeviceName(k, QString());
    rows.setWriteDirText(k, QString());
    select(rows, k, RowList::Size, u"640*480");
    select(rows, k, RowList::Interval, u"5000");
    select(rows, k, RowList::StartFrame, u"10");
    select(rows, k, RowList::Compression, u"RGB");
  }
}

void loadSettingsText(const QString& text, SettingsTarget& rows, UnitModel& model) {
  FieldReader reader(text);

  // Unit rows. The receiving texts carry over from one unit to the next, so
  // a file that ends early repeats the last unit it had.
  std::array<QString, kRowFields> f;
  for (int k = 0; k < kUnitCount; ++k) {
    for (QString& field : f) readInto(reader, field);
    if (auto v = checkBoxValue(f[0])) rows.setUseBox(k, *v);
    if (auto v = checkBoxValue(f[1])) rows.setSaveBox(k, *v);
    select(rows, k, RowList::Size, f[3]);
    rows.setDeviceName(k, f[2]);
    rows.setWriteDirText(k, f[7]);
    select(rows, k, RowList::Interval, f[4]);
    select(rows, k, RowList::StartFrame, f[5]);
    select(rows, k, RowList::Compression, f[6]);
  }

  // Send format and JPEG quality, from texts of their own.
  QString g1;
  QString g2;
  readInto(reader, g1);
  readInto(reader, g2);
  model.sendFormat = clampText(g1, 0, 1);
  if (g2.isEmpty()) {
    model.jpegQuality = 50;
  } else if (auto quality = wholeNumber(g2)) {
    model.jpegQuality = *quality;  // any whole number; only the menu offers 20..90
  }

  // Adjustments: cleared per unit, so an empty or missing field keeps the
  // value the unit had.
  for (int k = 0; k < kUnitCount; ++k) {
    std::array<QString, kRowFields> h;
    for (QString& field : h) readInto(reader, field);
    for (int i = 0; i < kRowFields; ++i) {
      if (h[i].isEmpty()) continue;
      const auto range = Adjustments::kRanges[i];
      model.adjust[k].field(i) = clampText(h[i], range.low, range.high);
    }
  }
}

QString decodeSettingsBytes(QByteArrayView bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF")) bytes = bytes.sliced(3);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  if (!utf8.hasError()) return text;
  return fromCp932(bytes);
}

LoadOutcome loadSettings(const QString& startupDir, SettingsTarget& rows, UnitModel& model, QString* problem) {
  if (!settingsFilePresent(startupDir)) {
    resetRows(rows);
    return LoadOutcome::Absent;
  }
  // Only a regular file is opened: a pipe or device under that name would
  // block or never end.
  const QString path = settingsFilePath(startupDir);
  QFile file(path);
  const bool regular = QFileInfo(path).isFile();
  if (!regular || !file.open(QIODevice::ReadOnly)) {
    if (problem) *problem = regular ? file.errorString() : QStringLiteral("not a regular file");
    loadSettingsText(QString(), rows, model);
    return LoadOutcome::Unreadable;
  }
  loadSettingsText(decodeSettingsBytes(file.read(kSettingsReadLimit)), rows, model);
  return LoadOutcome::Read;
}

}  // namespace selvane::model
