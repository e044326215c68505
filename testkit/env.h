// An environment variable set (or removed) for the life of the object, and
// put back as it was afterwards. Not thread-safe: the environment is the
// process's, so only the test's own thread changes it, before it starts
// threads that read it.
#pragma once
#include <QByteArray>

#include <cstdlib>
#include <optional>
#include <string>

namespace testkit {

class ScopedEnv {
 public:
  // `value` nullptr removes the variable for the scope.
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    put(value);
  }
  ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
  ScopedEnv(const char* name, const QByteArray& value) : ScopedEnv(name, value.constData()) {}
  ~ScopedEnv() { put(old_ ? old_->c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void put(const char* value) const {
    if (value)
      ::setenv(name_.c_str(), value, 1);
    else
      ::unsetenv(name_.c_str());
  }
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace testkit
