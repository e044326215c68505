#include "testkit/web/publish_picture.h"

#include "selvane/publication/control_record.h"
#include "selvane/publication/store.h"
#include "testkit/pictures.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

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

QByteArray bytesOf(const Bytes& b) {
  return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

}  // namespace

bool publishPicture(const QString& dir, const QByteArray& picture, bool jpeg, const QString& slotText) {
  namespace pub = selvane::publication;
  const auto write = [&](const std::string& path) {
    return writeInPlace(QString::fromStdString(path), picture) ? pub::WriteOutcome{true, 0}
                                                               : pub::WriteOutcome{false, errno};
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
  Bytes bgr(static_cast<size_t>(width * height * 3));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &bgr[static_cast<size_t>((y * width + x) * 3)];
      p[2] = static_cast<uint8_t>(x * 3 + seed * 7);
      p[1] = static_cast<uint8_t>(y * 5 + seed * 13);
      p[0] = static_cast<uint8_t>((x ^ y) + seed);
    }
  return bytesOf(encodeJpeg(bgr, width, height, 60 + seed % 30));
}

QByteArray testPlanarBmp(int width, int height, unsigned char y, bool iyuv) {
  return bytesOf(makePlanarFrame(
      width, height, iyuv ? FOURCC_IYUV : FOURCC_I420, [y](int, int) { return y; }, 128, 128));
}

QByteArray testRgbBmp(int width, int height, unsigned char b, unsigned char g, unsigned char r) {
  return bytesOf(makeBmp24(width, height, [=](int, int) { return Bgr{b, g, r}; }));
}

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
