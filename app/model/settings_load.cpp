#include "selvane/model/settings_file.h"

#include "selvane/publication/list_rules.h"
#include "selvane/publication/numeric_text.h"
#include "selvane/publication/station_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace selvane::model {

namespace {

using publication::checkBoxValue;
using publication::clampText;
using publication::RowFieldTexts;
using publication::selectionFirstFallback;

void select(SettingsTarget& rows, int k, RowList list, QStringView text) {
  const int index = selectionFirstFallback(rows.listItems(k, list), text);
  if (index >= 0) rows.selectListItem(k, list, index);
}

}  // namespace

QString settingsFilePath(QStringView startupDir) { return startupDir.toString() + QLatin1String(kSettingsFileName); }

bool settingsFilePresent(const QString& startupDir) {
  // Listing, not a lookup by name: on a case-insensitive file system a
  // lookup would also find "SELVANEDIR.INI", which does not count.
  const QDir dir(startupDir.isEmpty() ? QStringLiteral(".") : startupDir);
  const QStringList names =
      dir.entryList(QStringList{QLatin1String(kSettingsFileName)}, QDir::Files | QDir::Hidden | QDir::System);
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
  const publication::SettingsTexts t = publication::readSettingsTexts(text);
  for (int k = 0; k < kUnitCount; ++k) {
    const RowFieldTexts& f = t.rows[static_cast<size_t>(k)];
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
  model.sendFormat = clampText(t.sendFormat, 0, 1);
  if (t.jpegQuality.isEmpty()) {
    model.jpegQuality = 50;
  } else if (auto quality = publication::wholeNumber(t.jpegQuality)) {
    model.jpegQuality = *quality;  // any whole number; only the menu offers 20..90
  }

  // Adjustments: an empty or missing field keeps the value the unit had.
  for (int k = 0; k < kUnitCount; ++k) {
    const RowFieldTexts& h = t.adjustments[static_cast<size_t>(k)];
    for (int i = 0; i < Adjustments::kFieldCount; ++i) {
      if (h[static_cast<size_t>(i)].isEmpty()) continue;
      const auto range = Adjustments::kRanges[static_cast<size_t>(i)];
      model.adjust[k].field(i) = clampText(h[static_cast<size_t>(i)], range.low, range.high);
    }
  }
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
