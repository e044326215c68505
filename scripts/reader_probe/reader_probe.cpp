// A network reader of published write directories, as the help file tells
// readers to work: wait for a change, read cap.ctl (state 1: wait and read
// again), open the newest slot file, read cap.ctl again and start over when
// it changed, then read the open file (at any speed: it is never rewritten).
// Every picture accepted is checked: whole (JPEG without warnings, BMP whose
// size field is its size) and the picture its slot text names.
//
//   reader_probe --seconds S [--read-ms R] [--check id|mtime] DIR...
//
// A DIR of the form smb://host:port/share/path/ is read through SMB
// (libsmbclient, as a guest), the way a reader on another computer does.
// --read-ms spreads the reading of one picture over R ms (a slow reader).
// --check id: stamped pictures (their number matches the slot text);
// --check mtime: camera pictures (the slot text is the local time at which
// the file was written, to the second).
// Prints "accepted=N retried=N bad=N failed=N" (failed: a read that broke
// off, nothing accepted) and exits 1 when anything was bad.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "testkit/smb_guest.h"
#include "testkit/stamped_picture.h"

namespace {

using Clock = std::chrono::steady_clock;
using stamped::Bytes;

// Reading files of this computer, or of a share through SMB.
struct Files {
  int (*open)(const char* path);
  ssize_t (*read)(int fd, void* buffer, size_t size);
  int (*fstat)(int fd, struct stat* st);
  int (*close)(int fd);
};
const Files kLocal{[](const char* path) { return ::open(path, O_RDONLY | O_CLOEXEC); }, ::read, ::fstat, ::close};
const Files kSmb{[](const char* path) { return smbc_open(path, O_RDONLY, 0); }, smbc_read, smbc_fstat, smbc_close};

bool readControl(const Files& f, const std::string& dir, Bytes& record) {
  record.assign(48, 0);
  const int fd = f.open((dir + "cap.ctl").c_str());
  if (fd < 0) return false;
  const ssize_t got = f.read(fd, record.data(), 48);
  f.close(fd);
  return got == 48;
}

int16_t field(const Bytes& record, int offset) {
  return static_cast<int16_t>(record[static_cast<size_t>(offset)] | record[static_cast<size_t>(offset) + 1] << 8);
}

struct Counts {
  long accepted = 0, retried = 0, bad = 0, failed = 0;
};

// Checks a text against the time the file was last written, local time.
bool textMatchesMtime(const std::string& text, const struct stat& st) {
  std::tm tm{};
  if (!strptime(text.c_str(), "%Y/%m/%d %H:%M:%S", &tm)) return false;
  tm.tm_isdst = -1;
  const double taken = static_cast<double>(std::mktime(&tm));
  const double written = static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9;
  return written >= taken - 0.01 && written < taken + 1.9;
}

// One pass of the recipe on one directory. False when nothing new was there.
bool readOnce(const Files& f, const std::string& dir, Bytes& lastSeen, int readMs, bool checkId, Counts& counts) {
  Bytes first;
  if (!readControl(f, dir, first) || first == lastSeen) return false;
  for (int wait = 0; field(first, 0) == 1 && wait < 50; ++wait) {  // writing: wait a little
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!readControl(f, dir, first)) return false;
  }
  const int16_t state = field(first, 0), next = field(first, 2);
  if (state == 1 || (next != 0 && next != 1)) return false;
  const int s = 1 - next;
  if (field(first, 4 + 2 * s) != 1) {
    lastSeen = first;
    return false;
  }
  const std::string path = dir + "cap" + char('0' + s) + (state == 2 ? ".jpg" : ".bmp");
  const int fd = f.open(path.c_str());
  Bytes again;
  if (fd < 0 || !readControl(f, dir, again) || again != first) {
    if (fd >= 0) f.close(fd);
    ++counts.retried;
    return true;
  }
  struct stat st {};
  f.fstat(fd, &st);
  Bytes bytes;
  for (size_t chunk = 0;; ++chunk) {  // a slow reader in eight parts, R/8 ms apart
    if (readMs > 0 && chunk < 8) std::this_thread::sleep_for(std::chrono::milliseconds(readMs / 8));
    std::vector<char> part(readMs > 0 ? static_cast<size_t>(st.st_size) / 8 + 1 : size_t{1} << 16);
    const ssize_t got = f.read(fd, part.data(), part.size());
    if (got < 0) {  // nothing accepted; the next pass tries again
      std::fprintf(stderr, "reader: %s: %s\n", path.c_str(), std::strerror(errno));
      f.close(fd);
      ++counts.failed;
      return true;
    }
    if (got == 0) break;
    bytes.insert(bytes.end(), part.begin(), part.begin() + got);
  }
  f.close(fd);
  lastSeen = first;
  const std::string text(reinterpret_cast<const char*>(&first[8 + 20 * static_cast<size_t>(s)]), 20);
  // Stamped pictures carry their number when whole; camera pictures are
  // whole when a JPEG decodes, or a BMP's size field is right.
  const bool jpeg = state == 2;
  const std::optional<int> id = checkId ? (jpeg ? stamped::idOfJpeg(bytes) : stamped::idOfBmp(bytes)) : std::nullopt;
  const bool whole = checkId ? id.has_value() : jpeg ? stamped::wholeJpeg(bytes) : stamped::wholeBmp(bytes);
  if (whole && (checkId ? stamped::idOfText(text) == id : textMatchesMtime(text, st))) {
    ++counts.accepted;
  } else {
    ++counts.bad;
    std::fprintf(stderr, "reader: %s (%zu bytes, text \"%s\"): %s\n", path.c_str(), bytes.size(), text.c_str(),
                 whole ? "not the picture its text names" : "not a whole picture");
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 5;
  int readMs = 0;
  bool checkId = true;
  std::vector<std::string> dirs;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--seconds" && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (a == "--read-ms" && i + 1 < argc) {
      readMs = std::atoi(argv[++i]);
    } else if (a == "--check" && i + 1 < argc) {
      checkId = std::string(argv[++i]) == "id";
    } else {
      dirs.push_back(a.back() == '/' ? a : a + "/");
    }
  }
  std::vector<const Files*> files;
  for (const std::string& d : dirs) files.push_back(d.starts_with("smb://") ? &kSmb : &kLocal);
  if (std::find(files.begin(), files.end(), &kSmb) != files.end() && !initSmbGuest()) {
    std::perror("reader: libsmbclient");
    return 2;
  }
  Counts counts;
  std::vector<Bytes> seen(dirs.size());
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < end) {
    bool any = false;
    for (size_t d = 0; d < dirs.size(); ++d)
      any = readOnce(*files[d], dirs[d], seen[d], readMs, checkId, counts) || any;
    if (!any) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::printf("accepted=%ld retried=%ld bad=%ld failed=%ld\n", counts.accepted, counts.retried, counts.bad,
              counts.failed);
  return counts.bad == 0 ? 0 : 1;
}
