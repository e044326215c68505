#include "selvane/publication/reader.h"

#include "selvane/publication/control_record.h"
#include "selvane/publication/picture_check.h"
#include "unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QtDebug>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace selvane::publication {

namespace {

// Attempts at one check before leaving the unit busy until the next look.
constexpr int kReadAttempts = 3;
// How long a unit is looked at often while a store seems to be under way.
constexpr int64_t kBusyGiveUpMs = 2000;
// A busy unit whose last read was larger than any station picture is read
// again at most once a poll even while its file changes: touching a large
// file costs its writer nothing.
constexpr int64_t kQuickRetryBytes = 4 << 20;

using Fd = UniqueFd;

QString systemError(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// What a refused entry gets as its reason.
QString entryError(int err) {
  if (err == ELOOP) return QStringLiteral("a link, not a file (links are not followed)");
  if (err == EINVAL) return QStringLiteral("not a regular file");
  if (err == EFBIG) return QStringLiteral("larger than 64 MiB, not read");
  return systemError(err);
}

// An entry of the directory `dirFd`, never through a link, and only a regular
// file: its type is checked before it is opened (a device node is never
// opened) and again on what was opened. With `refuseLarger`, a file over
// `limit` is refused unread (EFBIG); otherwise its first `limit` bytes are
// read. False with errno set on failure.
bool readEntry(int dirFd, const char* name, int64_t limit, bool refuseLarger, QByteArray& out, struct stat* before,
               struct stat* after) {
  auto refused = [&](const struct stat& st) {
    if (!S_ISREG(st.st_mode))
      errno = S_ISDIR(st.st_mode) ? EISDIR : S_ISLNK(st.st_mode) ? ELOOP : EINVAL;
    else if (refuseLarger && st.st_size > limit)
      errno = EFBIG;
    else
      return false;
    return true;
  };
  struct stat st {};
  if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || refused(st)) return false;
  Fd fd(::openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
  if (fd.get() < 0) return false;
  if (::fstat(fd.get(), &st) != 0 || refused(st)) return false;
  if (before) *before = st;
  const int64_t want = std::min<int64_t>(st.st_size, limit);
  out.resize(static_cast<qsizetype>(want));
  int64_t done = 0;
  while (done < want) {
    const ssize_t got = ::read(fd.get(), out.data() + done, static_cast<size_t>(want - done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    done += got;
  }
  out.truncate(static_cast<qsizetype>(done));
  if (after && ::fstat(fd.get(), after) != 0) return false;
  return true;
}

QByteArray stampBytes(const struct stat& st) {
  const int64_t v[4] = {static_cast<int64_t>(st.st_size), static_cast<int64_t>(st.st_mtim.tv_sec),
                        static_cast<int64_t>(st.st_mtim.tv_nsec), static_cast<int64_t>(st.st_ino)};
  return QByteArray(reinterpret_cast<const char*>(v), sizeof v);
}

bool sameFile(const struct stat& a, const struct stat& b) { return stampBytes(a) == stampBytes(b); }

// A record the reader can act on: 48 bytes, a next slot of 0 or 1.
bool usable(const QByteArray& ctl) {
  return ctl.size() >= ControlRecord::kSize && ctl[3] == 0 && (ctl[2] == 0 || ctl[2] == 1);
}

}  // namespace

WriteDirectoryReader::WriteDirectoryReader(int unit, QString dir, int pollMs)
    : unit_(unit), dir_(std::move(dir)), dirBytes_(QFile::encodeName(dir_)), pollMs_(pollMs) {
  auto v = std::make_shared<DirectoryView>();
  v->problem = QStringLiteral("not looked at yet");
  view_ = std::move(v);
}

bool WriteDirectoryReader::setUnreadable(const QString& problem) {
  busy_ = false;
  lastSignature_.clear();
  if (problem != lastLoggedProblem_) {
    if (mayLog()) qWarning("unit %d: %s: %s", unit_, qUtf8Printable(dir_), qUtf8Printable(problem));
    lastLoggedProblem_ = problem;
  }
  if (!view_->readable && view_->problem == problem) return false;
  auto v = std::make_shared<DirectoryView>(*view_);
  v->readable = false;
  v->problem = problem;
  view_ = std::move(v);
  return true;
}

void WriteDirectoryReader::noteReadable() {
  if (lastLoggedProblem_.isEmpty()) return;
  if (mayLog()) qInfo("unit %d: %s: readable again", unit_, qUtf8Printable(dir_));
  lastLoggedProblem_.clear();
}

// A slot that flips between two faults must not flood the log: at most five
// lines a minute for each unit.
bool WriteDirectoryReader::mayLog() {
  constexpr int kLinesPerMinute = 5;
  const int64_t minute = static_cast<int64_t>(std::time(nullptr) / 60);
  if (minute != logMinute_) {
    logMinute_ = minute;
    logCount_ = 0;
  }
  if (++logCount_ == kLinesPerMinute + 1)
    qWarning("unit %d: %s: more problems this minute not logged", unit_, qUtf8Printable(dir_));
  return logCount_ <= kLinesPerMinute;
}

// A store that never ends (the station stopped half-way), a damaged record or
// a picture that stays cut: stop looking often; only a change of the record or
// of the slot file's size, time or inode makes it read again.
bool WriteDirectoryReader::giveUp(const QByteArray& signature) {
  busy_ = false;
  busySinceMs_ = 0;
  lastSignature_ = signature;
  if (view_->readable) return false;
  auto v = std::make_shared<DirectoryView>(*view_);
  v->readable = true;
  v->problem.clear();
  view_ = std::move(v);
  return true;
}

bool WriteDirectoryReader::check(int64_t nowMs) {
  Fd dir(::open(dirBytes_.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return setUnreadable(systemError(errno));
  if (::access(dirBytes_.constData(), R_OK | X_OK) != 0) return setUnreadable(systemError(errno));

  QByteArray ctl;
  if (!readEntry(dir.get(), "cap.ctl", ControlRecord::kSize, false, ctl, nullptr, nullptr)) {
    if (errno != ENOENT) return setUnreadable(QStringLiteral("cap.ctl: ") + entryError(errno));
    ctl.clear();  // nothing published yet
  }
  // What has to change before the picture is read again: the record, the
  // marker, and the newest slot file itself.
  QByteArray signature = ctl;
  struct stat marker {};
  signature.append(::fstatat(dir.get(), "CAPDIR", &marker, AT_SYMLINK_NOFOLLOW) == 0 ? 'M' : '-');
  if (usable(ctl)) {
    const ControlRecord r = ControlRecord::decode(ctl);
    const QByteArray newest = QFile::encodeName(imageFilePath(u"", 1 - r.nextSlot, r.state != 0));
    struct stat file {};
    if (::fstatat(dir.get(), newest.constData(), &file, AT_SYMLINK_NOFOLLOW) == 0) signature.append(stampBytes(file));
  }
  if (!busy_ && signature == lastSignature_) return false;
  if (busy_ && signature == triedSignature_ && nowMs - busySinceMs_ > kBusyGiveUpMs) return giveUp(signature);
  // Nothing moved since the last read (a store under way ends with a new
  // record, a picture being written grows), or the last read was large:
  // read again at most once a poll.
  if (busy_ && (signature == triedSignature_ || triedBytes_ > kQuickRetryBytes) && nowMs - triedMs_ < pollMs_)
    return false;

  if (ctl.isEmpty()) {
    busy_ = false;
    noteReadable();
    lastSignature_ = signature;
    if (view_->readable && !view_->hasRecord) return false;
    auto v = std::make_shared<DirectoryView>(*view_);
    v->readable = true;
    v->hasRecord = false;
    v->problem.clear();
    v->changedMs = nowMs;
    view_ = std::move(v);
    return true;
  }
  triedSignature_ = signature;
  triedMs_ = nowMs;
  triedBytes_ = 0;
  const bool changed = readNewest(dir.get(), ctl, nowMs);
  if (busy_ && busySinceMs_ == 0) busySinceMs_ = nowMs;
  if (busy_ && nowMs - busySinceMs_ > kBusyGiveUpMs) return giveUp(signature) || changed;
  if (!busy_) {
    busySinceMs_ = 0;
    lastSignature_ = signature;
  }
  return changed;
}

// The reader recipe: wait while state is 1, read the newest slot, read the
// record again and retry when it moved (or the file changed under us).
bool WriteDirectoryReader::readNewest(int dirFd, const QByteArray& firstCtl, int64_t nowMs) {
  QByteArray ctl = firstCtl;
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    const ControlRecord r = ControlRecord::decode(ctl);
    if (!usable(ctl) || (r.state != ControlRecord::kStateBmp && r.state != ControlRecord::kStateJpeg)) {
      busy_ = true;  // a store in progress, or a record being created
      return false;
    }
    const int slot = 1 - r.nextSlot;
    const bool jpeg = r.state == ControlRecord::kStateJpeg;
    PublishedPicturePtr picture = view_->picture;
    int64_t fileMs = nowMs;
    if (r.written[static_cast<size_t>(slot)] != 0) {
      const QByteArray name = QFile::encodeName(imageFilePath(u"", slot, jpeg));
      QByteArray bytes;
      struct stat before {
      }, after{};
      const bool read = readEntry(dirFd, name.constData(), kMaxFileSize, true, bytes, &before, &after);
      const int readErrno = errno;
      triedBytes_ += bytes.size();
      QByteArray again;
      readEntry(dirFd, "cap.ctl", ControlRecord::kSize, false, again, nullptr, nullptr);
      if (again != ctl || (read && !sameFile(before, after))) {
        ctl = again;
        continue;
      }
      if (!read) {
        // The record names a file that is not there: nothing to show from it.
        busy_ = false;
        if (readErrno != ENOENT)
          return setUnreadable(QFile::decodeName(name) + QStringLiteral(": ") + entryError(readErrno));
        picture = nullptr;
      } else if (!picture || picture->bytes != bytes) {
        fileMs = int64_t(before.st_mtim.tv_sec) * 1000 + before.st_mtim.tv_nsec / 1000000;
        auto whole = std::make_shared<PublishedPicture>();
        if (!isCompletePicture(bytes, jpeg, &whole->width, &whole->height)) {
          busy_ = true;  // not a whole picture yet
          return false;
        }
        whole->bytes = std::move(bytes);
        whole->jpeg = jpeg;
        whole->modifiedSecs = before.st_mtim.tv_sec;
        picture = std::move(whole);
      }
    }
    busy_ = false;
    noteReadable();
    auto v = std::make_shared<DirectoryView>(*view_);
    v->readable = true;
    v->hasRecord = true;
    v->problem.clear();
    v->state = r.state;
    v->nextSlot = r.nextSlot;
    for (size_t s = 0; s < 2; ++s) {
      v->written[s] = r.written[s] != 0;
      v->texts[s] = r.slotText(static_cast<int>(s));
      while (v->texts[s].endsWith(u' ')) v->texts[s].chop(1);
    }
    v->newestSlot = r.written[static_cast<size_t>(slot)] != 0 && picture ? slot : -1;
    if (picture != view_->picture) {
      v->picture = picture;
      if (picture) ++v->pictureSeq;
    }
    // The first look finds pictures stored before it: their age is the
    // file's. Later changes are dated when seen, whatever the writer's clock.
    v->changedMs = view_->changedMs == 0 ? std::min(nowMs, fileMs) : nowMs;
    view_ = std::move(v);
    return true;
  }
  busy_ = true;
  return false;
}

}  // namespace selvane::publication
