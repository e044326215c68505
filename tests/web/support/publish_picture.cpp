#include "publish_picture.h"

#include "selvane/publication/control_record.h"
#include "selvane/publication/store.h"

#include <fcntl.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace webtest {

namespace {

using selvane::publication::ControlRecord;

bool writeInPlace(const QString& path, const QByteArray& bytes) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  constexpr qsizetype kChunk = 4096;
  bool ok = true;
  for (qsizetype at = 0; ok && at < bytes.size();) {
    const ssize_t put = ::write(fd, bytes.constData() + at, static_cast<size_t>(std::min(kChunk, bytes.size() - at)));
    if (put < 0 && errno == EINTR) continue;
    ok = put > 0;
    at += put;
  }
  ok = ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ok;
  return ::close(fd) == 0 && ok;
}

void put32(QByteArray& b, qsizetype at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }
void put16(QByteArray& b, qsizetype at, uint16_t v) { std::memcpy(b.data() + at, &v, 2); }

QByteArray bmpHeaders(int width, int height, int bits, uint32_t compression, uint32_t pixelBytes) {
  QByteArray b(54, '\0');
  b[0] = 'B';
  b[1] = 'M';
  put32(b, 2, 54 + pixelBytes);
  put32(b, 10, 54);
  put32(b, 14, 40);
  put32(b, 18, static_cast<uint32_t>(width));
  put32(b, 22, static_cast<uint32_t>(height));
  put16(b, 26, 1);
  put16(b, 28, static_cast<uint16_t>(bits));
  put32(b, 30, compression);
  put32(b, 34, pixelBytes);
  return b;
}

}  // namespace

bool publishPicture(const QString& dir, const QByteArray& picture, bool jpeg, const QString& slotText) {
  namespace pub = selvane::publication;
  const auto write = [&](const std::string& path) {
    return writeInPlace(QString::fromStdString(path), picture) ? pub::WriteOutcome{true, 0} : pub::WriteOutcome{false, errno};
  };
  return pub::storeImage(dir, slotText, jpeg ? pub::Format::Jpeg : pub::Format::Bmp, write).published;
}

bool publishPictureInPlace(const QString& dir, const QByteArray& picture, bool jpeg, const QString& slotText) {
  const QString control = selvane::publication::controlFilePath(dir);
  ControlRecord record = selvane::publication::readControlFile(control);
  record.state = ControlRecord::kStateWriting;
  bool ok = selvane::publication::writeControlFile(control, record);

  const int slot = record.claimSlot(slotText);
  ok = writeInPlace(selvane::publication::imageFilePath(dir, slot, jpeg), picture) && ok;
  record.state = jpeg ? ControlRecord::kStateJpeg : ControlRecord::kStateBmp;
  ok = selvane::publication::writeControlFile(control, record) && ok;

  const QString marker = selvane::publication::markerDirPath(dir);
  const QFileInfo markerInfo(marker);
  if (!markerInfo.exists() && !markerInfo.isSymLink()) {
    ok = QDir().mkdir(marker) && ok;
  } else {
    QDir markerDir(marker);
    for (const QString& name : markerDir.entryList(QDir::Files | QDir::Hidden | QDir::System)) markerDir.remove(name);
    ok = QDir().rmdir(marker) && ok;
  }
  return ok;
}

QByteArray testJpeg(int seed, int width, int height) {
  std::vector<unsigned char> rgb(static_cast<size_t>(width * height * 3));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      unsigned char* p = &rgb[static_cast<size_t>((y * width + x) * 3)];
      p[0] = static_cast<unsigned char>(x * 3 + seed * 7);
      p[1] = static_cast<unsigned char>(y * 5 + seed * 13);
      p[2] = static_cast<unsigned char>((x ^ y) + seed);
    }
  tjhandle tj = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  tjCompress2(tj, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_420, 60 + seed % 30, 0);
  QByteArray jpeg(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
  tjFree(out);
  tjDestroy(tj);
  return jpeg;
}

QByteArray testPlanarBmp(int width, int height, unsigned char y, bool iyuv) {
  const int cw = (width + 1) / 2, ch = (height + 1) / 2;
  const auto pixels = static_cast<uint32_t>(width * height + 2 * cw * ch);
  QByteArray b = bmpHeaders(width, height, 12, iyuv ? 0x56555949 : 0x30323449, pixels);
  b.append(QByteArray(width * height, static_cast<char>(y)));
  b.append(QByteArray(2 * cw * ch, static_cast<char>(128)));
  return b;
}

QByteArray testRgbBmp(int width, int height, unsigned char b, unsigned char g, unsigned char r) {
  const int stride = (width * 3 + 3) / 4 * 4;
  QByteArray out = bmpHeaders(width, height, 24, 0, static_cast<uint32_t>(stride * height));
  QByteArray row(stride, '\0');
  for (int x = 0; x < width; ++x) {
    row[x * 3] = static_cast<char>(b);
    row[x * 3 + 1] = static_cast<char>(g);
    row[x * 3 + 2] = static_cast<char>(r);
  }
  for (int y = 0; y < height; ++y) out.append(row);
  return out;
}

}  // namespace webtest

namespace webtest {

QByteArray paddedJpeg(int seed, qsizetype bytes) {
  const QByteArray jpeg = testJpeg(seed, 640, 480);
  QByteArray out = jpeg.left(2);
  out.reserve(bytes + jpeg.size());
  uint32_t noise = static_cast<uint32_t>(seed) * 2654435761u + 1;
  while (out.size() + jpeg.size() + 2 < bytes) {
    const qsizetype payload = std::min<qsizetype>(65533, bytes - out.size() - jpeg.size() - 2);
    out.append(char(0xFF)).append(char(0xEF)).append(char((payload + 2) >> 8)).append(char((payload + 2) & 0xFF));
    const qsizetype at = out.size();
    out.resize(at + payload);
    for (qsizetype i = 0; i < payload; ++i) {
      noise = noise * 1664525u + 1013904223u;
      out[at + i] = static_cast<char>(noise >> 24);
    }
  }
  return out + jpeg.mid(2);
}

}  // namespace webtest
