#include "selvane/publication/control_record.h"

#include "selvane/publication/cp932.h"

#include <QFile>
#include <QFileInfo>

namespace selvane::publication {

namespace {
int16_t readInt16(QByteArrayView bytes, int offset) {
  const auto lo = static_cast<uint8_t>(bytes[offset]);
  const auto hi = static_cast<uint8_t>(bytes[offset + 1]);
  return static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
}

void appendInt16(QByteArray& out, int16_t v) {
  const auto u = static_cast<uint16_t>(v);
  out.append(char(u & 0xFF));
  out.append(char(u >> 8));
}

QByteArray fixedText(const QByteArray& text) {
  QByteArray fixed = text.left(ControlRecord::kTextSize);
  fixed.append(ControlRecord::kTextSize - fixed.size(), ' ');
  return fixed;
}
}  // namespace

ControlRecord ControlRecord::decode(QByteArrayView bytes) {
  if (bytes.size() < kSize) return {};
  ControlRecord r;
  r.nextSlot = readInt16(bytes, 2);
  if (r.nextSlot != 0 && r.nextSlot != 1) return {};
  r.state = readInt16(bytes, 0);
  r.written = {readInt16(bytes, 4), readInt16(bytes, 6)};
  r.text = {bytes.sliced(8, kTextSize).toByteArray(), bytes.sliced(28, kTextSize).toByteArray()};
  return r;
}

QByteArray ControlRecord::encode() const {
  QByteArray out;
  out.reserve(kSize);
  appendInt16(out, state);
  appendInt16(out, nextSlot);
  appendInt16(out, written[0]);
  appendInt16(out, written[1]);
  out.append(fixedText(text[0]));
  out.append(fixedText(text[1]));
  return out;
}

int ControlRecord::claimSlot(QStringView statusText) {
  const int s = nextSlot == 1 ? 1 : 0;
  written[s] = 1;
  text[s] = cp932Field(statusText, kTextSize);
  nextSlot = static_cast<int16_t>(s == 0 ? 1 : 0);
  return s;
}

QString ControlRecord::slotText(int slot) const { return fromCp932(fixedText(text[slot == 1 ? 1 : 0])); }

QString controlFilePath(QStringView writeDir) { return writeDir.toString() + QStringLiteral("cap.ctl"); }

QString imageFilePath(QStringView writeDir, int slot, bool jpeg) {
  return writeDir.toString() + QStringLiteral("cap") + QChar(slot == 1 ? u'1' : u'0') +
         (jpeg ? QStringLiteral(".jpg") : QStringLiteral(".bmp"));
}

QString markerDirPath(QStringView writeDir) { return writeDir.toString() + QStringLiteral("CAPDIR"); }

ControlRecord readControlFile(const QString& path) {
  QFile file(path);
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) return {};
  return ControlRecord::decode(file.read(ControlRecord::kSize));
}

bool writeControlFile(const QString& path, const ControlRecord& record) {
  QFile file(path);
  // Read-write without truncation: the record is written in place at the
  // start, as readers may have the file open.
  if (!file.open(QIODevice::ReadWrite)) return false;
  const QByteArray bytes = record.encode();
  return file.write(bytes) == bytes.size() && file.flush();
}

}  // namespace selvane::publication
