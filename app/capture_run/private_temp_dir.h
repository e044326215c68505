// The program's own temporary directory: mode 0700, made fresh for each
// running copy, under $XDG_RUNTIME_DIR when the session has one, else under
// the system's temporary directory. No other account can plant a file (or a
// FIFO) where the frame file goes, and two copies never share it. Removed
// with its contents when the object goes. UI thread (made once at load).
#pragma once
#include <QString>

namespace selvane {

class PrivateTempDir {
 public:
  PrivateTempDir() = default;
  ~PrivateTempDir();
  PrivateTempDir(const PrivateTempDir&) = delete;
  PrivateTempDir& operator=(const PrivateTempDir&) = delete;

  // Makes the directory under the first usable of: $XDG_RUNTIME_DIR, `fallbackBase`.
  // Returns its path ending in '/', or empty when none could be made.
  QString create(const QString& fallbackBase);
  const QString& path() const { return path_; }

 private:
  QString path_;
};

}  // namespace selvane
