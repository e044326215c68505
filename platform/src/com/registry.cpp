// The registry files: location, scope, locking, atomic rewrite, and the
// key/value API.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "com/registry_internal.h"

namespace pl::reg {
namespace {

std::atomic<int> g_scope{PL_REG_SCOPE_USER};

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

std::string envPath(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string();
}

bool makeDirs(const std::string& dir) {
  if (dir.empty()) return true;
  struct stat st {};
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !makeDirs(dir.substr(0, slash))) return false;
  return ::mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST;
}

std::string dirOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// false on any failure other than a missing file (which reads as empty).
bool readFile(const std::string& path, std::string& text) {
  text.clear();
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return errno == ENOENT;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) > kMaxFileSize)
    return false;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    text.append(buffer, static_cast<size_t>(n));
    if (text.size() > kMaxFileSize) return false;
  }
}

bool writeAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Temp file beside the registry, then rename: readers never see half a file.
bool writeFileAtomically(const std::string& path, const std::string& text) {
  std::string temp = path + ".tmp";
  Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (fd.get() < 0) return false;
  bool ok = writeAll(fd.get(), text) && ::fsync(fd.get()) == 0;
  ok = ::close(fd.release()) == 0 && ok;
  if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

}  // namespace

bool machineScope() { return g_scope.load() == PL_REG_SCOPE_MACHINE; }

std::string machineRegistryFile() {
  // Set but empty: no machine-wide registry at all (tests, private set-ups).
  if (const char* v = std::getenv("PL_MACHINE_REGISTRY")) return v;
  return kMachineRegistryFile;
}

std::string programRegistryFile() {
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return {};
  const std::string dir = dirOf(std::string(exe, static_cast<size_t>(n)));
  return dir.empty() ? std::string() : (dir == "/" ? std::string() : dir) + "/registry.reg";
}

std::string registryFile() { return machineScope() ? machineRegistryFile() : userRegistryFile(); }

std::string userRegistryFile() {
  std::string path = envPath("PL_REGISTRY");
  if (!path.empty()) return path;
  std::string config = envPath("XDG_CONFIG_HOME");
  if (config.empty() || config[0] != '/') {
    std::string home = envPath("HOME");
    if (home.empty()) {
      struct passwd pw {};
      struct passwd* found = nullptr;
      char buffer[4096];
      if (::getpwuid_r(::getuid(), &pw, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
          found->pw_dir != nullptr)
        home = found->pw_dir;
    }
    if (home.empty()) return {};
    config = home + "/.config";
  }
  return config + "/selvane/registry.reg";
}

LONG transact(bool write, const std::function<LONG(Key& root, bool& modified)>& fn) {
  try {
    const std::string path = registryFile();
    if (path.empty()) return ERROR_ACCESS_DENIED;
    if (write && !makeDirs(dirOf(path))) return ERROR_ACCESS_DENIED;

    // A separate lock file, since the rename replaces the registry file's inode.
    std::string lockPath = path + ".lock";
    Fd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (lock.get() < 0 && write) return ERROR_ACCESS_DENIED;
    if (lock.get() >= 0) {
      while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return ERROR_ACCESS_DENIED;
      }
    }

    std::string text;
    Key root;
    // Reads in the user's scope see the machine's classes with the user's own
    // entries over them. The machine file is replaced by rename, so reading it
    // without its lock still gives a whole file; one this user cannot read
    // simply adds nothing.
    if (!write && !machineScope()) {
      const std::string machine = machineRegistryFile();
      if (!machine.empty() && readFile(machine, text)) parse(text, root);
    }
    if (!readFile(path, text)) return ERROR_ACCESS_DENIED;
    parse(text, root);
    // A build tree's programs find the controls of their own build first, so
    // that no build ever needs to register in the user's file. Replaced by
    // rename too, so read without a lock.
    if (!write && !machineScope()) {
      const std::string program = programRegistryFile();
      if (!program.empty() && program != path && readFile(program, text)) parse(text, root);
    }
    bool modified = false;
    LONG rc = fn(root, modified);
    if (write && modified && !writeFileAtomically(path, serialize(root))) return ERROR_ACCESS_DENIED;
    return rc;  // closing the lock file releases the lock
  } catch (...) { return ERROR_ACCESS_DENIED; }
}

}  // namespace pl::reg

using namespace pl::reg;

PL_API int pl_RegistryPath(char* buffer, int max) {
  try {
    std::string path = registryFile();
    if (buffer == nullptr || path.empty() || max <= 0 || path.size() + 1 > static_cast<size_t>(max)) return 0;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<int>(path.size());
  } catch (...) { return 0; }
}

PL_API int pl_RegSetScope(int scope) {
  if (scope != PL_REG_SCOPE_USER && scope != PL_REG_SCOPE_MACHINE) return -1;
  return g_scope.exchange(scope);
}

PL_API LONG pl_RegSetString(const char* key, const char* name, const char* value) {
  if (key == nullptr || value == nullptr) return kErrorInvalidParameter;
  std::string_view valueName = name != nullptr ? name : "";
  auto path = splitPath(key);
  if (!path || !validValueName(valueName) || !validValueData(value)) return kErrorInvalidParameter;
  return transact(true, [&](Key& root, bool& modified) {
    setValue(create(root, *path), valueName, value);
    modified = true;
    return ERROR_SUCCESS;
  });
}

PL_API LONG pl_RegGetString(const char* key, const char* name, char* buffer, int max, int* length) {
  if (length != nullptr) *length = 0;
  if (buffer != nullptr && max > 0) buffer[0] = '\0';
  if (key == nullptr) return kErrorInvalidParameter;
  auto path = splitPath(key);
  if (!path) return ERROR_FILE_NOT_FOUND;
  std::string_view valueName = name != nullptr ? name : "";
  return transact(false, [&](Key& root, bool&) -> LONG {
    const Key* k = find(root, *path);
    const Value* v = k != nullptr ? findValue(*k, valueName) : nullptr;
    if (v == nullptr) return ERROR_FILE_NOT_FOUND;
    if (length != nullptr) *length = static_cast<int>(v->data.size());
    if (buffer == nullptr) return ERROR_SUCCESS;  // size query
    if (max <= 0 || v->data.size() + 1 > static_cast<size_t>(max)) return ERROR_MORE_DATA;
    std::memcpy(buffer, v->data.c_str(), v->data.size() + 1);
    return ERROR_SUCCESS;
  });
}

PL_API BOOL pl_RegKeyExists(const char* key) {
  if (key == nullptr) return FALSE;
  auto path = splitPath(key);
  if (!path) return FALSE;
  LONG rc = transact(false, [&](Key& root, bool&) -> LONG {
    return find(root, *path) != nullptr ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
  return rc == ERROR_SUCCESS ? TRUE : FALSE;
}

PL_API LONG pl_RegDeleteTree(const char* key) {
  if (key == nullptr) return kErrorInvalidParameter;
  auto path = splitPath(key);
  if (!path) return ERROR_FILE_NOT_FOUND;
  return transact(true, [&](Key& root, bool& modified) -> LONG {
    modified = remove(root, *path);
    return modified ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}
