#include "selvane/publication/directory_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace selvane::publication {

DirectoryLock::~DirectoryLock() { release(); }

DirectoryLock::DirectoryLock(DirectoryLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

DirectoryLock& DirectoryLock::operator=(DirectoryLock&& other) noexcept {
  if (this != &other) {
    release();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

DirectoryLock::Outcome DirectoryLock::take(const QString& dir, std::string* errorText) {
  release();
  const int fd = ::open(dir.toUtf8().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (errorText) *errorText = std::strerror(errno);
    return Outcome::Unavailable;
  }
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const int error = errno;
    ::close(fd);
    if (errorText) *errorText = std::strerror(error);
    return error == EWOULDBLOCK ? Outcome::InUse : Outcome::Unavailable;
  }
  fd_ = fd;
  return Outcome::Held;
}

void DirectoryLock::release() {
  if (fd_ >= 0) ::close(fd_);  // closing the only descriptor drops the lock
  fd_ = -1;
}

bool DirectoryLock::sameDirectory(const QString& dir) const {
  struct stat held {
  }, other{};
  return fd_ >= 0 && ::fstat(fd_, &held) == 0 && ::stat(dir.toUtf8().constData(), &other) == 0 &&
         held.st_dev == other.st_dev && held.st_ino == other.st_ino;
}

}  // namespace selvane::publication
