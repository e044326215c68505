// Temporary, current and program directories.
#include "services/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/services.h"
#include "services/app_identity.h"

namespace pl::services {
namespace {

std::string executablePath() {
  std::vector<char> buf(512);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buf.size()) {
      std::string path(buf.data(), static_cast<size_t>(n));
      // An executable replaced while it runs (a rebuild) still names its directory.
      static constexpr char kDeleted[] = " (deleted)";
      const size_t k = sizeof(kDeleted) - 1;
      if (path.size() > k && path.compare(path.size() - k, k, kDeleted) == 0) path.resize(path.size() - k);
      return path;
    }
    if (buf.size() >= 65536) return {};
    buf.resize(buf.size() * 2);
  }
}

bool isDirectory(const char* path) {
  struct stat st {};
  return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

std::string tempPath() {
  const char* env = std::getenv("TMPDIR");
  std::string path = (env && *env && isDirectory(env)) ? env : "/tmp";
  if (path.back() != '/') path += '/';
  return path;
}

std::string currentDirectory() {
  std::vector<char> buf(512);
  while (!::getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE || buf.size() >= 65536) return {};
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

}  // namespace

std::string programDirectory() {
  std::string path = executablePath();
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string executableName() {
  std::string path = executablePath();
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

DWORD copyOut(const std::string& s, DWORD max, char* buffer) {
  if (s.empty()) return 0;
  const size_t needed = s.size() + 1;
  if (!buffer || needed > max) return static_cast<DWORD>(needed);
  std::memcpy(buffer, s.c_str(), needed);
  return static_cast<DWORD>(s.size());
}

}  // namespace pl::services

using namespace pl::services;

PL_EXTERN_C DWORD GetTempPathA(DWORD max, char* buffer) {
  try {
    return copyOut(tempPath(), max, buffer);
  } catch (...) { return 0; }
}

PL_EXTERN_C DWORD GetCurrentDirectoryA(DWORD max, char* buffer) {
  try {
    return copyOut(currentDirectory(), max, buffer);
  } catch (...) { return 0; }
}

PL_EXTERN_C DWORD pl_ProgramDirectory(DWORD max, char* buffer) {
  try {
    return copyOut(programDirectory(), max, buffer);
  } catch (...) { return 0; }
}
