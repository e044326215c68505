// An advisory lock on a write directory while one program publishes into it,
// so that two copies of the program never interleave their slot alternation.
// The lock is flock(2) on the directory itself: no file is added, none of the
// published files changes. Released when the object goes (or the process
// ends, crash included). Any thread; not shared between threads.
#pragma once
#include <QString>

#include <string>

namespace selvane::publication {

class DirectoryLock {
 public:
  enum class Outcome { Held, InUse, Unavailable };

  DirectoryLock() = default;
  ~DirectoryLock();
  DirectoryLock(DirectoryLock&& other) noexcept;
  DirectoryLock& operator=(DirectoryLock&& other) noexcept;
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

  // Tries once, without waiting. InUse: another process (or another lock
  // object) holds it. Unavailable: the directory cannot be opened or the file
  // system has no locks; `errorText` says why.
  Outcome take(const QString& dir, std::string* errorText = nullptr);
  void release();
  bool held() const { return fd_ >= 0; }
  // The same directory (device and inode) as the one held.
  bool sameDirectory(const QString& dir) const;

 private:
  int fd_ = -1;
};

}  // namespace selvane::publication
