#include "bitmap/bmp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "bitmap/library.h"

namespace plenkit {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

// Reads exactly `size` bytes unless the file ends or fails first.
size_t readFully(int fd, uint8_t* target, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t got = ::read(fd, target + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

// Only a regular file is an image file: a FIFO or a device would block the
// caller or never end. Opened without blocking, then checked.
int openRegular(const char* path, int flags) {
  const int fd = ::open(path, flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

uint64_t magnitude(int32_t value) {
  return value < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
}

}  // namespace

BITMAPINFOHEADER infoHeaderOf(const uint8_t* image) {
  BITMAPINFOHEADER header;
  std::memcpy(&header, image + kFileHeaderSize, sizeof header);
  return header;
}

void storeInfoHeader(uint8_t* image, const BITMAPINFOHEADER& header) {
  std::memcpy(image + kFileHeaderSize, &header, sizeof header);
}

void storeFileHeader(uint8_t* image, uint32_t pixelBytes) {
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfSize = pixelBytes + static_cast<uint32_t>(kPixelOffset);
  file.bfOffBits = static_cast<DWORD>(kPixelOffset);
  std::memcpy(image, &file, sizeof file);
}

uint64_t rowLength(int64_t width, unsigned bitCount) {
  const uint64_t w = width < 0 ? static_cast<uint64_t>(-width) : static_cast<uint64_t>(width);
  return (w * bitCount + 31) / 32 * 4;
}

std::optional<uint64_t> impliedPixelBytes(const BITMAPINFOHEADER& header) {
  const uint64_t width = magnitude(header.biWidth);
  const uint64_t height = magnitude(header.biHeight);
  switch (header.biCompression) {
    case BI_RGB:
    case BI_BITFIELDS: {
      // Row length times height passes 64 bits for hostile headers: such a
      // picture is larger than anything, never a small one.
      uint64_t bytes;
      if (__builtin_mul_overflow(rowLength(header.biWidth, header.biBitCount), height, &bytes)) return UINT64_MAX;
      return bytes;
    }
    case FOURCC_I420:
    case FOURCC_IYUV: return width * height + 2 * ((width + 1) / 2) * ((height + 1) / 2);
    default: return std::nullopt;
  }
}

int32_t readBmpFile(const char* path, BITMAPINFOHEADER* header, uint8_t* target) {
  if (path == nullptr || target == nullptr) return 0;
  FileDescriptor file(openRegular(path, O_RDONLY));
  if (!file.valid()) return 0;

  if (readFully(file.get(), target, kFileHeaderSize) != kFileHeaderSize) return 0;
  if (target[0] != 'B' || target[1] != 'M') return 0;
  if (readFully(file.get(), target + kFileHeaderSize, sizeof(BITMAPINFOHEADER)) != sizeof(BITMAPINFOHEADER)) return 0;
  const BITMAPINFOHEADER info = infoHeaderOf(target);
  if (header != nullptr) *header = info;

  // The buffer's capacity bounds the file: by its size field and by what
  // its dimensions call for.
  constexpr uint64_t kMaxPixels = kBufferSize - kPixelOffset;
  uint32_t fileSize;
  std::memcpy(&fileSize, target + 2, sizeof fileSize);
  if (fileSize <= kPixelOffset || fileSize - kPixelOffset > kMaxPixels) return 0;
  const auto implied = impliedPixelBytes(info);
  if (implied && *implied > kMaxPixels) return 0;

  const size_t pixels = fileSize - kPixelOffset;
  if (readFully(file.get(), target + kPixelOffset, pixels) != pixels) return 0;
  return static_cast<int32_t>(pixels);
}

int32_t writeWholeFile(const char* path, const uint8_t* data, size_t size) {
  if (path == nullptr || *path == '\0') return 0;
  // The old contents are overwritten and the rest cut off afterwards: the
  // same file as truncating first, without the file system flushing it
  // synchronously at close as it does for a file truncated to zero and
  // rewritten.
  FileDescriptor file(openRegular(path, O_WRONLY | O_CREAT));
  if (!file.valid()) return 0;
  size_t done = 0;
  while (done < size) {
    const ssize_t put = ::write(file.get(), data + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += static_cast<size_t>(put);
  }
  // Without the cut a shorter picture keeps the old file's tail: that file
  // is no picture, whatever was written.
  const int writeError = errno;
  for (;;) {
    if (::ftruncate(file.get(), static_cast<off_t>(done)) == 0) break;
    if (errno != EINTR) return 0;
  }
  if (done < size) errno = writeError;
  return static_cast<int32_t>(done);
}

std::optional<Picture24> picture24(uint8_t* image, int32_t imageLength) {
  if (image == nullptr || imageLength < static_cast<int32_t>(kPixelOffset) ||
      static_cast<size_t>(imageLength) > kBufferSize)
    return std::nullopt;
  const BITMAPINFOHEADER info = infoHeaderOf(image);
  if (info.biBitCount != 24 || info.biCompression != BI_RGB || info.biWidth <= 0 || info.biHeight <= 0)
    return std::nullopt;
  const uint64_t stride = rowLength(info.biWidth, 24);
  uint64_t rows;
  if (__builtin_mul_overflow(stride, static_cast<uint64_t>(info.biHeight), &rows) ||
      rows > static_cast<uint64_t>(imageLength) - kPixelOffset)
    return std::nullopt;
  return Picture24{image + kPixelOffset, info.biWidth, info.biHeight, static_cast<size_t>(stride)};
}

}  // namespace plenkit
