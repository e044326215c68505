// Where "selvanedir.ini" lives. Next to the program when the user may write
// there (a build tree, a copied program directory), as it always has; for an
// installed program (read-only, or below /usr) each user's own
// $XDG_CONFIG_HOME/selvane/, which reads the machine-wide default in
// /etc/selvane/ until the user saves a file of their own.
#pragma once

#include <QString>

namespace selvane::model {

inline constexpr char kMachineSettingsDir[] = "/etc/selvane/";

struct SettingsLocation {
  QString dir;         // where the file is saved; ends in '/'
  QString defaultDir;  // read while `dir` holds no file; empty: none

  // `dir` when it holds the file, else `defaultDir` when that does, else
  // `dir` (no file anywhere: the rows are reset).
  QString loadDir() const;
};

// True when the settings stay next to the program: the user may write the
// directory and it is not below /usr, which belongs to the package manager
// even when root could write there.
bool programDirHoldsSettings(const QString& programDir);

// $XDG_CONFIG_HOME when it holds an absolute path, else ~/.config.
QString userConfigHome();

SettingsLocation settingsLocation(const QString& programDir, const QString& configHome = userConfigHome(),
                                  const QString& machineDir = QLatin1String(kMachineSettingsDir));

}  // namespace selvane::model
