#include "selvane/publication/field_reader.h"

namespace selvane::publication {

namespace {
bool isLineEnd(QChar c) { return c == u'\r' || c == u'\n'; }
bool isDelimiter(QChar c) { return c == u',' || isLineEnd(c); }
}  // namespace

std::optional<QString> FieldReader::next() {
  while (pos_ < text_.size() && text_[pos_] == u' ') ++pos_;
  if (atEnd()) return std::nullopt;

  QString field;
  if (text_[pos_] == u'"') {
    const qsizetype start = pos_ + 1;
    qsizetype close = text_.indexOf(u'"', start);
    if (close < 0) close = text_.size();
    field = text_.sliced(start, close - start);
    pos_ = close < text_.size() ? close + 1 : close;
    skipToDelimiter();
  } else {
    const qsizetype start = pos_;
    skipToDelimiter();
    field = text_.sliced(start, pos_ - start);
  }
  consumeDelimiter();
  return field;
}

void FieldReader::skipToDelimiter() {
  while (pos_ < text_.size() && !isDelimiter(text_[pos_])) ++pos_;
}

void FieldReader::consumeDelimiter() {
  if (atEnd()) return;
  const QChar c = text_[pos_++];
  if (c == u'\r' && pos_ < text_.size() && text_[pos_] == u'\n') ++pos_;
}

}  // namespace selvane::publication
