// Publishing one picture in a unit's write directory: the publication steps
// are selvane::publish's; here the picture comes from the image library or
// the frame file, and the outcome goes to the pane and to the log.
#include <sys/stat.h>

#include <QLineEdit>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "control_screen/capture_events.h"
#include "control_screen/plenkit_client.h"
#include "screens/capture_screen.h"
#include "screens/unit_pane.h"
#include "selvane/publish/store.h"

namespace selvane {
namespace {

// The library reports only a byte count: a picture is whole when that count
// is what it should be and is what the file holds.
publish::WriteOutcome checkedSend(int32_t (*send)(const char*), const std::string& path, int32_t expected) {
  errno = 0;
  const int32_t written = send(path.c_str());
  const int error = errno;
  struct stat st {};
  if (written > 0 && (expected == 0 || written == expected) && ::stat(path.c_str(), &st) == 0 &&
      st.st_size == written)
    return {true, 0};
  return {false, error != 0 ? error : EIO};
}

int32_t bmpSizeField(const std::string& path) {
  uint8_t head[6] = {};
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return -1;
  const size_t got = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  if (got != sizeof head || head[0] != 'B' || head[1] != 'M') return -1;
  return static_cast<int32_t>(head[2] | head[3] << 8 | head[4] << 16 | static_cast<uint32_t>(head[5]) << 24);
}

}  // namespace

void CaptureEvents::storeImage(int k, StoreMode mode, int32_t jpegLength) {
  if (!model::isUnit(k)) return;
  const QString dir = model_.run[static_cast<size_t>(k)].writeDir;
  QLineEdit* status = captureScreen_.pane(k)->text1;
  const Plenkit* lib = plenkit_;
  const std::string frame = frameFilePath().toStdString();

  // A BMP is whole when its size field says the size it has: a frame file
  // cut short (a full disk, a file-size limit) is no picture to publish.
  auto wholeBmp = [](const std::string& path, publish::WriteOutcome out) -> publish::WriteOutcome {
    struct stat st {};
    if (out.ok && (::stat(path.c_str(), &st) != 0 || bmpSizeField(path) != st.st_size)) return {false, EIO};
    return out;
  };
  publish::PictureWriter write = [&](const std::string& path) -> publish::WriteOutcome {
    switch (mode) {
      case kStoreFrameCopy:
        return wholeBmp(path, publish::copyRegularFile(frame, path));
      case kStoreBmp:
        if (!lib) return {false, ENOENT};
        return wholeBmp(path, checkedSend(lib->BmpFileSend, path, 0));
      default:
        if (!lib) return {false, ENOENT};
        return checkedSend(lib->JpgFileSend, path, jpegLength);
    }
  };
  const bool jpeg = mode != kStoreBmp && mode != kStoreFrameCopy;
  const publish::StoreResult result =
      publish::storeImage(dir, status->text(), jpeg ? publish::Format::Jpeg : publish::Format::Bmp, write);

  if (!result.published) status->setText(QStringLiteral("書込エラー"));
  std::string problem;
  if (!result.published) {
    problem = "picture not published: " + publish::describe(result);
  } else if (!result.markerProblem.empty()) {
    problem = "marker not changed: " + result.markerProblem;
  }
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
