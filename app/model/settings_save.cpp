#include "selvane/model/settings_file.h"

#include <QDir>
#include <QSaveFile>

namespace selvane::model {

namespace {

QString quoted(QString field) {
  field.replace(u'"', QChar(0xFF02));
  return u'"' + field + u'"';
}

void appendLine(QString& out, const QStringList& fields) {
  QStringList q;
  q.reserve(fields.size());
  for (const QString& f : fields) q << quoted(f);
  out += q.join(u',');
  out += QStringLiteral("\r\n");
}

}  // namespace

QByteArray formatSettings(const RowSnapshot& rows, const UnitModel& model) {
  QString out;
  for (const RowTexts& row : rows) {
    appendLine(out, {QString::number(row.useBox), QString::number(row.saveBox), row.deviceName, row.size, row.interval,
                     row.startFrame, row.compression, row.writeDir});
  }
  appendLine(out, {QString::number(model.sendFormat), QString::number(model.jpegQuality)});
  for (int k = 0; k < kUnitCount; ++k) {
    QStringList fields;
    for (int i = 0; i < Adjustments::kFieldCount; ++i) fields << QString::number(model.adjust[k].field(i));
    appendLine(out, fields);
  }
  return out.toUtf8();
}

bool saveSettings(const QString& startupDir, const RowSnapshot& rows, const UnitModel& model) {
  // A user's configuration directory may not exist before the first save.
  if (!startupDir.isEmpty() && !QDir().mkpath(startupDir)) return false;
  QSaveFile file(settingsFilePath(startupDir));
  // A directory the program may not create files in can still hold a
  // writable settings file; then it is rewritten in place.
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly)) return false;
  const QByteArray bytes = formatSettings(rows, model);
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

}  // namespace selvane::model
