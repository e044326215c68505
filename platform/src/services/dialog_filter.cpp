#include "services/dialog_filter.h"

#include <cstring>
#include <string>
#include <vector>

namespace pl::services {

QStringList nameFiltersOf(const char* filter, size_t limit) {
  QStringList out;
  if (!filter) return out;
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos < limit && filter[pos] != '\0') {
    const size_t len = strnlen(filter + pos, limit - pos);
    parts.emplace_back(filter + pos, len);
    pos += len + 1;
  }
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = QString::fromStdString(parts[i]).trimmed();
    QString patterns = QString::fromStdString(parts[i + 1]);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    patterns = patterns.simplified();
    if (patterns.isEmpty()) continue;
    const QString suffix = QStringLiteral("(%1)").arg(patterns);
    if (description.endsWith(suffix))
      out << description;
    else if (description.isEmpty())
      out << suffix;
    else
      out << QStringLiteral("%1 %2").arg(description, suffix);
  }
  return out;
}

}  // namespace pl::services
