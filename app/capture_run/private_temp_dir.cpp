#include "capture_run/private_temp_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <cstdlib>
#include <vector>

namespace selvane {
namespace {

// The session's runtime directory counts only when it is what it should be:
// ours and closed to everyone else.
bool privateDirectory(const char* path) {
  struct stat st {};
  return path && *path && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
         (st.st_mode & 077) == 0;
}

}  // namespace

PrivateTempDir::~PrivateTempDir() {
  if (!path_.isEmpty()) QDir(path_).removeRecursively();
}

QString PrivateTempDir::create(const QString& fallbackBase) {
  std::vector<QString> bases;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); privateDirectory(runtime))
    bases.push_back(QString::fromLocal8Bit(runtime));
  if (!fallbackBase.isEmpty()) bases.push_back(fallbackBase);
  for (QString base : bases) {
    if (!base.endsWith(u'/')) base += u'/';
    QByteArray pattern = (base + QStringLiteral("selvane-XXXXXX")).toLocal8Bit();
    if (::mkdtemp(pattern.data()) != nullptr) {  // mode 0700
      path_ = QString::fromLocal8Bit(pattern) + u'/';
      return path_;
    }
  }
  return {};
}

}  // namespace selvane
