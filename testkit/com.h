// The component model in tests and benchmarks: a throw-away registry file and
// the real regsvr32 of the program directory. Test thread only.
#pragma once
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <string>

#include "platform/registry.h"
#include "testkit/env.h"
#include "testkit/files.h"

namespace comtest {

using testkit::ScopedEnv;

// Points the registry at a file in a fresh temporary directory.
class TempRegistry {
 public:
  TempRegistry() : env_("PL_REGISTRY", QFile::encodeName(dir_.filePath("registry.reg"))) {}
  QString dirPath() const { return dir_.path(); }
  QString path() const { return dir_.filePath("registry.reg"); }
  QByteArray text() const { return testkit::readFile(path()); }
  void write(const QByteArray& text) const { testkit::writeFile(path(), text); }

 private:
  QTemporaryDir dir_;
  ScopedEnv env_;
};

inline std::string get(const char* key, const char* name = nullptr) {
  char buffer[1024];
  int length = 0;
  if (pl_RegGetString(key, name, buffer, sizeof buffer, &length) != ERROR_SUCCESS) return "<missing>";
  return std::string(buffer, static_cast<size_t>(length));
}

// The program directory: $SV_OUT_DIR (set by CTest), else one up from this
// program (the tools and benchmarks live in a folder of it).
inline QString outDir() {
  if (!qEnvironmentVariableIsEmpty("SV_OUT_DIR")) return QString::fromLocal8Bit(qgetenv("SV_OUT_DIR"));
  return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
}
inline QString controlFile() { return outDir() + "/tests/TestCtl.OCX"; }

struct ToolResult {
  int exitCode = -1;
  QByteArray errors;
};

// Runs out/regsvr32 with `args`; the child inherits this process's environment.
inline ToolResult regsvr32(const QStringList& args, const QString& workDir = {}) {
  QProcess p;
  if (!workDir.isEmpty()) p.setWorkingDirectory(workDir);
  p.start(outDir() + "/regsvr32", args);
  ToolResult r;
  if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit) return r;
  r.exitCode = p.exitCode();
  r.errors = p.readAllStandardError();
  return r;
}

// A throw-away registry with one server of the program directory registered
// in it by the real regsvr32, for a whole test suite.
class RegisteredServer {
 public:
  explicit RegisteredServer(const QString& file) : result_(regsvr32({"/s", outDir() + "/" + file})) {}
  const ToolResult& result() const { return result_; }

 private:
  TempRegistry registry_;
  ToolResult result_;
};

}  // namespace comtest
