#include "services/command_line.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "services/paths.h"

namespace pl::services {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string joined(const std::string& dir, const std::string& name) {
  std::string path = dir;
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return path;
}

bool isExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::vector<std::string> splitCommandLine(std::string_view line) {
  std::vector<std::string> args;
  std::string current;
  bool inArgument = false;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      inArgument = true;
    } else if (isBlank(c) && !quoted) {
      if (inArgument) args.push_back(std::move(current));
      current.clear();
      inArgument = false;
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (inArgument) args.push_back(std::move(current));
  return args;
}

std::string findProgram(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return name;
  const std::string own = programDirectory();
  if (!own.empty()) {
    const std::string candidate = joined(own, name);
    if (isExecutableFile(candidate)) return candidate;
  }
  const char* env = std::getenv("PATH");
  const std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    const std::string dir = path.substr(start, end - start);
    const std::string candidate = joined(dir.empty() ? std::string(".") : dir, name);
    if (isExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return {};
}

}  // namespace pl::services
