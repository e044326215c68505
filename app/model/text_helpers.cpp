#include "selvane/model/text_helpers.h"

namespace selvane::model {

QString compressionText(int32_t code) {
  if (code == 0) return QStringLiteral("RGB24");
  const QString hex = QString::number(static_cast<uint32_t>(code), 16).toUpper();
  const QString eight = (QStringLiteral("20202020") + hex).right(8);
  QString text(4, QChar(u' '));
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    const uint byte = eight.mid(i * 2, 2).toUInt(&ok, 16);
    text[3 - i] = QChar(char16_t(ok ? byte : 0x20));
  }
  return text;
}

QString directoryPart(QStringView path) {
  if (path.isEmpty()) return QString();
  const qsizetype slash = path.lastIndexOf(u'/');
  if (slash < 0) return QStringLiteral("./");
  return path.left(slash + 1).toString();
}

QString withTrailingSeparator(QStringView dir) {
  if (dir.endsWith(u'/')) return dir.toString();
  return dir.toString() + u'/';
}

QString unitPrefix(int k) { return QStringLiteral(" %1号機 ").arg(k + 1); }

}  // namespace selvane::model
