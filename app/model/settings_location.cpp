#include "selvane/model/settings_location.h"

#include "selvane/model/settings_file.h"
#include "selvane/model/text_helpers.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace selvane::model {

QString SettingsLocation::loadDir() const {
  if (defaultDir.isEmpty() || settingsFilePresent(dir) || !settingsFilePresent(defaultDir)) return dir;
  return defaultDir;
}

bool programDirHoldsSettings(const QString& programDir) {
  const QString dir = QDir::cleanPath(programDir);
  if (dir == QLatin1String("/usr") || dir.startsWith(QLatin1String("/usr/"))) return false;
  return ::access(QFile::encodeName(dir).constData(), W_OK) == 0;
}

QString userConfigHome() {
  const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (QDir::isAbsolutePath(xdg)) return xdg;
  return QDir::homePath() + QStringLiteral("/.config");
}

SettingsLocation settingsLocation(const QString& programDir, const QString& configHome, const QString& machineDir) {
  if (programDirHoldsSettings(programDir)) return {withTrailingSeparator(programDir), QString()};
  return {withTrailingSeparator(configHome) + QStringLiteral("selvane/"),
          machineDir.isEmpty() ? QString() : withTrailingSeparator(machineDir)};
}

}  // namespace selvane::model
