// Registers Korvex.OCX of the program directory (one up from the benchmark)
// with the real regsvr32, into whatever registry $PL_REGISTRY names.
#pragma once
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <string>

namespace bench {

inline bool registerControl(std::string* why) {
  const QString programDir = QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
  const QString file = programDir + QStringLiteral("/Korvex.OCX");
  QProcess regsvr32;
  regsvr32.start(programDir + QStringLiteral("/regsvr32"), {QStringLiteral("/s"), file});
  if (!regsvr32.waitForFinished(30000) || regsvr32.exitStatus() != QProcess::NormalExit || regsvr32.exitCode() != 0) {
    *why = "regsvr32 /s " + file.toStdString() + " failed: " + regsvr32.readAllStandardError().toStdString();
    return false;
  }
  return true;
}

}  // namespace bench
