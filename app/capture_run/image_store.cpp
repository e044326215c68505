// Publishing one picture in a unit's write directory: the publication steps
// are selvane::publication's; here the picture comes from the image library or
// the frame file, and the outcome goes to the unit's status box and to the log.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "capture_run/capture_events.h"
#include "capture_run/capture_scheduler.h"
#include "clients/plenkit_client.h"
#include "selvane/publication/store.h"

namespace selvane {
namespace {

// What a picture file holds: its length, and for a BMP the length its size
// field gives (-1 when it has no BMP header or could not be read).
struct FileLength {
  int64_t actual = -1;
  int64_t bmpField = -1;
};

// One open and one fstat for a BMP, one stat otherwise.
FileLength lengthOf(const std::string& path, bool bmp) {
  FileLength found;
  struct stat st {};
  const int fd = bmp ? ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY) : -1;
  if ((fd >= 0 ? ::fstat(fd, &st) : ::stat(path.c_str(), &st)) == 0) found.actual = st.st_size;
  uint8_t head[6] = {};
  if (fd >= 0 && found.actual >= 0 && ::pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) &&
      head[0] == 'B' && head[1] == 'M')
    found.bmpField =
        static_cast<int32_t>(head[2] | head[3] << 8 | head[4] << 16 | static_cast<uint32_t>(head[5]) << 24);
  if (fd >= 0) ::close(fd);
  return found;
}

// A BMP is whole when its size field says the size it has: a file cut short
// (a full disk, a file-size limit) is no picture to publish.
publication::WriteOutcome wholeBmp(const FileLength& length, publication::WriteOutcome out) {
  if (out.ok && length.bmpField != length.actual) return {false, EIO};
  return out;
}

// The library reports only a byte count: a picture is whole when that count
// is what it should be and is what the file holds.
publication::WriteOutcome checkedSend(int32_t (*send)(const char*), const std::string& path, int32_t expected,
                                      bool bmp) {
  errno = 0;
  const int32_t written = send(path.c_str());
  const int error = errno;
  const FileLength length = lengthOf(path, bmp);
  if (written > 0 && (expected == 0 || written == expected) && length.actual == written)
    return bmp ? wholeBmp(length, {true, 0}) : publication::WriteOutcome{true, 0};
  return {false, error != 0 ? error : EIO};
}

}  // namespace

void CaptureEvents::storeImage(int k, StoreMode mode, int32_t jpegLength) {
  if (!view_ || !model::isUnit(k)) return;
  const QString dir = model_.run[static_cast<size_t>(k)].writeDir;
  const Plenkit* lib = plenkit_;

  publication::PictureWriter write = [&](const std::string& path) -> publication::WriteOutcome {
    switch (mode) {
      case kStoreFrameCopy: {
        const publication::WriteOutcome copied = publication::copyRegularFile(frameFilePath().toStdString(), path);
        return copied.ok ? wholeBmp(lengthOf(path, true), copied) : copied;
      }
      case kStoreBmp:
        if (!lib) return {false, ENOENT};
        return checkedSend(lib->BmpFileSend, path, 0, true);
      default:
        if (!lib) return {false, ENOENT};
        return checkedSend(lib->JpgFileSend, path, jpegLength, false);
    }
  };
  const bool jpeg = mode != kStoreBmp && mode != kStoreFrameCopy;
  const publication::StoreResult result = publication::storeImage(
      dir, view_->statusText(k), jpeg ? publication::Format::Jpeg : publication::Format::Bmp, write);

  if (result.published) scheduler_.published(k);
  if (!result.published) view_->setStatusText(k, QStringLiteral("書込エラー"));
  std::string problem;
  if (!result.published) {
    problem = "picture not published: " + publication::describe(result);
  } else if (!result.markerProblem.empty()) {
    problem = "marker not changed: " + result.markerProblem;
  }
  if (!result.markerNote.empty()) std::fprintf(stderr, "selvane: unit %d: %s\n", k + 1, result.markerNote.c_str());
  // One line when something goes wrong and one when it is right again, not
  // one per capture.
  std::string& last = lastProblem_[static_cast<size_t>(k)];
  if (problem != last) {
    if (!problem.empty())
      std::fprintf(stderr, "selvane: unit %d: %s\n", k + 1, problem.c_str());
    else if (!last.empty())
      std::fprintf(stderr, "selvane: unit %d: publishing again: %s\n", k + 1, result.path.c_str());
    last = problem;
  }
}

}  // namespace selvane
