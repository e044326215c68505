// Shared helpers of the component-model tests: a throw-away registry file and
// running the real regsvr32.
#pragma once
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <optional>
#include <string>

#include "platform/registry.h"

namespace comtest {

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const QByteArray& value) : name_(name) {
    if (qEnvironmentVariableIsSet(name)) old_ = qgetenv(name);
    qputenv(name, value);
  }
  ~ScopedEnv() {
    if (old_)
      qputenv(name_, *old_);
    else
      qunsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<QByteArray> old_;
};

// Points the registry at a file in a fresh temporary directory.
class TempRegistry {
 public:
  TempRegistry() : env_("PL_REGISTRY", QFile::encodeName(dir_.filePath("registry.reg"))) {}
  QString dirPath() const { return dir_.path(); }
  QString path() const { return dir_.filePath("registry.reg"); }
  QByteArray text() const {
    QFile f(path());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  void write(const QByteArray& text) const {
    QFile f(path());
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(text);
  }

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

inline QString outDir() { return QString::fromLocal8Bit(qgetenv("SV_OUT_DIR")); }
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
