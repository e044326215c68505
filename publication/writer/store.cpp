#include "selvane/publication/store.h"

#include "unique_fd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <cerrno>
#include <cstring>

#include "selvane/publication/control_record.h"

namespace selvane::publication {
namespace {

using publication::ControlRecord;

constexpr char kControlName[] = "cap.ctl";
constexpr char kMarkerName[] = "CAPDIR";

using Fd = UniqueFd;

int lastError() { return errno != 0 ? errno : EIO; }

bool writeAllAt(int fd, const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t put = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = EIO;
      return false;
    }
    done += static_cast<size_t>(put);
  }
  return true;
}

// The control file as found: its first bytes (at most a record) and its size,
// or absent.
struct ControlFile {
  int error = 0;  // it could not be read (not there is no error)
  bool exists = false;
  QByteArray head;
  off_t size = 0;
};

ControlFile readControl(int dir) {
  ControlFile found;
  Fd fd(::openat(dir, kControlName, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW));
  struct stat st {};
  if (!fd.valid()) {
    if (errno != ENOENT) found.error = lastError();
    return found;
  }
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    found.error = S_ISREG(st.st_mode) ? lastError() : EINVAL;
    return found;
  }
  found.exists = true;
  found.size = st.st_size;
  found.head.resize(ControlRecord::kSize);
  ssize_t got;
  while ((got = ::pread(fd.get(), found.head.data(), ControlRecord::kSize, 0)) < 0 && errno == EINTR) {}
  if (got < 0) found.error = lastError();
  found.head.resize(got > 0 ? static_cast<int>(got) : 0);
  return found;
}

// Writes the record at the start of cap.ctl in place (readers may hold it
// open), creating the file when needed. Never through a link: whoever can
// write in the directory could point it at any file of ours (ELOOP).
bool writeControl(int dir, const QByteArray& bytes) {
  Fd fd(::openat(dir, kControlName, O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW, 0666));
  if (!fd.valid()) return false;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return false;
  if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return false;
  }
  return writeAllAt(fd.get(), bytes.constData(), static_cast<size_t>(bytes.size()));
}

// cap.ctl as it was before this store: the same bytes, the same length, or
// no file at all.
void restoreControl(int dir, const ControlFile& before) {
  const int saved = errno;
  if (!before.exists) {
    ::unlinkat(dir, kControlName, 0);
  } else {
    Fd fd(::openat(dir, kControlName, O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW));
    if (fd.valid() && writeAllAt(fd.get(), before.head.constData(), static_cast<size_t>(before.head.size())) &&
        before.size < ControlRecord::kSize)
      while (::ftruncate(fd.get(), before.size) != 0 && errno == EINTR) {}
  }
  errno = saved;
}

std::string joined(const QString& dir, const char* name) { return dir.toStdString() + name; }

// Empties and removes the marker directory, or makes it. Never follows a
// symbolic link and never deletes anything but the marker's own entries. A
// CAPDIR that is a link is removed itself (never its target) as the removing
// half of the flip, said in `note`: left there, the marker would never change
// again.
std::string flipMarker(int dir, const QString& writeDir, std::string* note) {
  const std::string path = joined(writeDir, kMarkerName);
  struct stat st {};
  if (::fstatat(dir, kMarkerName, &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT) return path + ": " + std::strerror(errno);
    if (::mkdirat(dir, kMarkerName, 0777) != 0) return path + ": " + std::strerror(errno);
    return {};
  }
  if (S_ISLNK(st.st_mode)) {
    if (::unlinkat(dir, kMarkerName, 0) != 0) return path + ": a symbolic link: " + std::strerror(errno);
    *note = path + ": a symbolic link, not a directory: the link removed";
    return {};
  }
  if (!S_ISDIR(st.st_mode)) return path + ": not a directory: left alone";
  const int markerFd = ::openat(dir, kMarkerName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (markerFd < 0) return path + ": " + std::strerror(errno);
  if (DIR* marker = ::fdopendir(markerFd)) {
    while (const dirent* entry = ::readdir(marker)) {
      struct stat inner {};
      if (::fstatat(markerFd, entry->d_name, &inner, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(inner.st_mode))
        ::unlinkat(markerFd, entry->d_name, 0);  // a link inside goes, never its target
    }
    ::closedir(marker);
  } else {
    ::close(markerFd);
  }
  if (::unlinkat(dir, kMarkerName, AT_REMOVEDIR) != 0) return path + ": " + std::strerror(errno);
  return {};
}

// `name` in `dir` is the file open as `fd` (not a link, not another file).
bool sameFile(int dir, const char* name, int fd) {
  struct stat named {
  }, open{};
  return ::fstatat(dir, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &open) == 0 &&
         named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

// Puts the picture in `temp` under the slot's name in one step. Where the
// file system can swap two names (ext4, xfs, btrfs, tmpfs) the two files swap
// and the old picture, now under the temporary name, goes: a reader that has
// the old picture open reads it whole either way. A plain rename over the slot
// file would do the same, but ext4 then forces out the new file's blocks on
// the spot and a store costs three times as much; shares that cannot swap
// (NFS, SMB) and a first picture take the plain rename.
// Only a regular file is swapped: a directory in the slot's place makes the
// store fail, as the rename does. The new picture takes the old slot file's
// group and mode where it can (an administrator's 0640 and readers' group).
// `picture` is the file written: the temporary name must still be it, or
// someone swapped it meanwhile and nothing is published (EEXIST).
bool replaceSlot(int dir, const char* temp, const char* slot, int picture) {
  struct stat written {};
  if (::fstat(picture, &written) != 0) return false;
  if (!sameFile(dir, temp, picture)) {
    errno = EEXIST;
    return false;
  }
  struct stat st {};
  const bool regular = ::fstatat(dir, slot, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
  if (regular) {
    // Group first: changing it may clear set-id bits that the mode then sets.
    // A group we may not give is no reason to keep the old picture: the new
    // one keeps the writer's group (fortified glibc wants the result looked at).
    if (st.st_gid != written.st_gid && ::fchown(picture, static_cast<uid_t>(-1), st.st_gid) != 0) {}
    (void)::fchmod(picture, st.st_mode & 07777);
    if (::renameat2(dir, temp, dir, slot, RENAME_EXCHANGE) == 0) {
      ::unlinkat(dir, temp, 0);
      return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != ENOENT) return false;
  }
  return ::renameat(dir, temp, dir, slot) == 0;
}

StoreResult failed(StoreResult result, Failure failure, std::string path, int error) {
  result.failure = failure;
  result.path = std::move(path);
  result.error = error;
  result.errorText = std::strerror(error);
  return result;
}

}  // namespace

std::string temporaryFileName() {
  // Unpredictable, so another account in a shared directory cannot make it
  // first and fail every store.
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuv";
  unsigned char random[12] = {};
  size_t got = 0;
  while (got < sizeof random) {
    const ssize_t n = ::getrandom(random + got, sizeof random - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  std::string name = ".selvane-";
  for (unsigned char byte : random) name += kDigits[byte % 32];
  return name + ".tmp";
}

bool isTemporaryFileName(std::string_view name) {
  return name.size() == 25 && name.substr(0, 9) == ".selvane-" && name.substr(21) == ".tmp";
}

StoreResult storeImage(const QString& writeDir, QStringView slotText, Format format, const PictureWriter& write,
                       const StoreOptions& options) {
  StoreResult result;
  const QByteArray dirBytes = writeDir.toUtf8();
  Fd dir(::open(dirBytes.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.valid()) return failed(result, Failure::Directory, dirBytes.toStdString(), lastError());

  const ControlFile before = readControl(dir.get());
  if (before.error != 0) return failed(result, Failure::Record, joined(writeDir, kControlName), before.error);
  ControlRecord record = ControlRecord::decode(before.head);
  record.state = ControlRecord::kStateWriting;
  if (!writeControl(dir.get(), record.encode())) {
    const int error = lastError();
    restoreControl(dir.get(), before);
    return failed(result, Failure::Record, joined(writeDir, kControlName), error);
  }

  result.slot = record.claimSlot(slotText);
  const bool jpeg = format == Format::Jpeg;
  const std::string slotName = std::string("cap") + (result.slot == 1 ? '1' : '0') + (jpeg ? ".jpg" : ".bmp");
  const std::string tempName = temporaryFileName();
  // Failures name the slot the picture was for: the temporary name changes
  // with every store, and the log says a lasting problem once.
  const std::string slotPath = joined(writeDir, slotName.c_str());
  // The writers get the created file itself, through its descriptor: the
  // name may be swapped for a link by anyone who can write here.
  Fd temp(::openat(dir.get(), tempName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (!temp.valid()) {
    const int error = lastError();
    restoreControl(dir.get(), before);  // the name is not ours: never remove it
    return failed(result, Failure::TemporaryFile, slotPath, error);
  }
  auto giveUp = [&](Failure failure, std::string path, int error) {
    if (sameFile(dir.get(), tempName.c_str(), temp.get())) ::unlinkat(dir.get(), tempName.c_str(), 0);
    restoreControl(dir.get(), before);
    return failed(result, failure, std::move(path), error);
  };
  errno = 0;
  const WriteOutcome written = write("/proc/self/fd/" + std::to_string(temp.get()));
  if (!written.ok) return giveUp(Failure::Picture, slotPath, written.error != 0 ? written.error : EIO);
  if (options.flushBeforeRename && ::fsync(temp.get()) != 0) return giveUp(Failure::Picture, slotPath, lastError());
  if (!replaceSlot(dir.get(), tempName.c_str(), slotName.c_str(), temp.get()))
    return giveUp(Failure::Replace, slotPath, lastError());

  record.state = jpeg ? ControlRecord::kStateJpeg : ControlRecord::kStateBmp;
  if (!writeControl(dir.get(), record.encode())) {
    // The slot replaced was not the newest one: the old record still names a
    // whole picture.
    const int error = lastError();
    restoreControl(dir.get(), before);
    return failed(result, Failure::FinalRecord, joined(writeDir, kControlName), error);
  }
  result.published = true;
  result.path = slotPath;
  result.markerProblem = flipMarker(dir.get(), writeDir, &result.markerNote);
  return result;
}

WriteOutcome copyRegularFile(const std::string& from, const std::string& to) {
  Fd source(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat st {};
  if (!source.valid() || ::fstat(source.get(), &st) != 0) return {false, lastError()};
  if (!S_ISREG(st.st_mode)) return {false, EINVAL};
  // Cut to length at the end rather than O_TRUNC: ext4 forces out the blocks
  // of a file truncated to zero when it is closed, which would triple a store.
  Fd target(::open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666));
  if (!target.valid()) return {false, lastError()};
  char buffer[1 << 16];
  off_t copied = 0;
  for (;;) {
    const ssize_t got = ::read(source.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return {false, lastError()};
    if (got == 0) break;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(target.get(), buffer + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return {false, put == 0 ? EIO : errno};
      done += put;
    }
    copied += got;
  }
  // A frame file that shrank while it was copied is not the picture it was.
  if (copied != st.st_size) return {false, EIO};
  if (::ftruncate(target.get(), copied) != 0) return {false, lastError()};
  return {true, 0};
}

std::string describe(const StoreResult& result) {
  if (result.published) return result.path;
  return result.path + ": " + result.errorText;
}

}  // namespace selvane::publication
