// Reads the fields of selvanedir.ini one after the other, as the settings
// loader takes them: without regard to where the lines end.
#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace selvane::publication {

class FieldReader {
 public:
  explicit FieldReader(QString text) : text_(std::move(text)) {}

  // The next field, or nothing at the end of the text.
  //  - Leading blanks are skipped.
  //  - A field that opens with '"' runs to the closing '"' (line ends
  //    included); whatever follows up to the next comma or line end is
  //    dropped. Without a closing quote the field runs to the end of text.
  //  - Any other field runs to the next comma or line end (CR LF, CR or LF).
  //  - The comma or line end that ends a field is consumed, so an empty line
  //    is one empty field.
  std::optional<QString> next();

  bool atEnd() const { return pos_ >= text_.size(); }

 private:
  void skipToDelimiter();
  void consumeDelimiter();

  QString text_;
  qsizetype pos_ = 0;
};

}  // namespace selvane::publication
