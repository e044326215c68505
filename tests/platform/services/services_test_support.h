// Shared helpers of the services tests: files in temporary directories; the
// environment and whole files through the test kit.
#pragma once
#include <QDir>
#include <QTemporaryDir>

#include <string>

#include "testkit/env.h"
#include "testkit/files.h"

namespace svtest {

inline std::string pathIn(const QTemporaryDir& dir, const char* name) {
  return QDir(dir.path()).filePath(QString::fromUtf8(name)).toStdString();
}

}  // namespace svtest
