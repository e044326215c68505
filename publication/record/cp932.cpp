#include "selvane/publication/cp932.h"

#include <iconv.h>

#include <cerrno>

namespace selvane::publication {

namespace {

// One conversion descriptor for one call; glibc has "CP932" among its
// gconv modules. When it is missing only ASCII passes.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `in`; false (and `out` untouched) when any of it fails.
  bool convert(QByteArrayView in, QByteArray& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char buffer[16];
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = size_t(in.size());
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == size_t(-1) || srcLeft != 0) return false;
    if (iconv(cd_, nullptr, nullptr, &dst, &dstLeft) == size_t(-1)) return false;
    out.append(buffer, qsizetype(dst - buffer));
    return true;
  }

  // Converts one character from the front of `in` into UTF-8; returns the
  // bytes consumed, 0 when the front starts no valid character.
  qsizetype convertOne(QByteArrayView in, QByteArray& out) {
    for (qsizetype len = 1; len <= 2 && len <= in.size(); ++len) {
      QByteArray piece;
      if (convert(in.first(len), piece)) {
        out.append(piece);
        return len;
      }
    }
    return 0;
  }

 private:
  iconv_t cd_;
};

}  // namespace

QByteArray cp932Field(QStringView text, int width) {
  QByteArray field;
  if (width <= 0) return field;
  Converter toCp932("CP932", "UTF-8");
  for (qsizetype i = 0; i < text.size();) {
    qsizetype len = 1;
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) len = 2;
    const QStringView ch = text.mid(i, len);
    i += len;
    QByteArray bytes;
    const char16_t c = ch[0].unicode();
    if (len == 1 && c < 0x80) {
      bytes.append(char(c));
    } else if (!toCp932.ok() || !toCp932.convert(ch.toUtf8(), bytes) || bytes.isEmpty()) {
      bytes = QByteArrayLiteral("?");
    }
    if (field.size() + bytes.size() > width) break;
    field.append(bytes);
  }
  field.append(width - field.size(), ' ');
  return field;
}

QString fromCp932(QByteArrayView bytes) {
  Converter toUtf8("UTF-8", "CP932");
  QByteArray utf8;
  for (qsizetype i = 0; i < bytes.size();) {
    const unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      utf8.append(char(b));
      ++i;
      continue;
    }
    const qsizetype used = toUtf8.ok() ? toUtf8.convertOne(bytes.sliced(i), utf8) : 0;
    if (used == 0) {
      utf8.append("\xEF\xBF\xBD");
      ++i;
    } else {
      i += used;
    }
  }
  return QString::fromUtf8(utf8);
}

}  // namespace selvane::publication
