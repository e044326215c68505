#include "selvane/publication/station_settings.h"

#include <QStringDecoder>

#include "selvane/publication/cp932.h"
#include "selvane/publication/field_reader.h"
#include "selvane/publication/list_rules.h"
#include "selvane/publication/numeric_text.h"

namespace selvane::publication {

namespace {
// A field that is missing leaves the receiving text as it was.
void readInto(FieldReader& reader, QString& receiving) {
  if (auto field = reader.next()) receiving = std::move(*field);
}
}  // namespace

QString decodeSettingsBytes(QByteArrayView bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF")) bytes = bytes.sliced(3);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  if (!utf8.hasError()) return text;
  return fromCp932(bytes);
}

SettingsTexts readSettingsTexts(const QString& text) {
  SettingsTexts t;
  FieldReader reader(text);
  RowFieldTexts f;
  for (RowFieldTexts& row : t.rows) {
    for (QString& field : f) readInto(reader, field);
    row = f;
  }
  readInto(reader, t.sendFormat);
  readInto(reader, t.jpegQuality);
  for (RowFieldTexts& row : t.adjustments)
    for (QString& field : row) readInto(reader, field);
  return t;
}

std::optional<int16_t> checkBoxValue(QStringView text) {
  const auto v = toInt16(numericValue(text));
  if (!v || *v < 0 || *v > 2) return std::nullopt;
  return v;
}

std::vector<PublishedUnit> publishedUnits(const SettingsTexts& texts) {
  std::vector<PublishedUnit> units;
  const QStringList& intervals = rowListItems(RowList::Interval);
  for (int k = 0; k < kSettingsUnits; ++k) {
    const RowFieldTexts& row = texts.rows[static_cast<size_t>(k)];
    if (checkBoxValue(row[kUseBox]) != 1 || checkBoxValue(row[kSaveBox]) != 1) continue;
    if (row[kWriteDir].trimmed().isEmpty()) continue;
    const int interval = selectionFirstFallback(intervals, row[kInterval]);
    units.push_back({k + 1, row[kWriteDir], intervals.value(interval).toInt()});
  }
  return units;
}

}  // namespace selvane::publication
