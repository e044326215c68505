// Shared helpers of the services tests: temporary directories, environment
// changes undone at scope exit, whole-file reads.
#pragma once
#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace svtest {

class EnvVar {
 public:
  EnvVar(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~EnvVar() {
    if (old_)
      ::setenv(name_.c_str(), old_->c_str(), 1);
    else
      ::unsetenv(name_.c_str());
  }
  EnvVar(const EnvVar&) = delete;
  EnvVar& operator=(const EnvVar&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

inline std::string pathIn(const QTemporaryDir& dir, const char* name) {
  return QDir(dir.path()).filePath(QString::fromUtf8(name)).toStdString();
}

}  // namespace svtest
