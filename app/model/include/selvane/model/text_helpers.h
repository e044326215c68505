// Small text helpers shared by the screens. Paths use '/' as separator.
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

namespace selvane::model {

// A four-character code as text, lowest byte first: 0x56555949 -> "IYUV",
// 0 -> "RGB24". The code's hexadecimal digits are filled on the left with
// "20" pairs to eight digits and read back as four bytes, so short codes
// come out blank-padded (0x32 -> "2" and three blanks) and codes with an odd
// number of digits are read in shifted pairs. Each byte becomes the character
// with that code (Latin-1), control characters included.
QString compressionText(int32_t code);

// The directory of a path, up to and including its last '/'. Empty for an
// empty path; "./" for a path with no '/' (a plain file name lies in the
// current directory).
QString directoryPart(QStringView path);

// The directory text with a '/' appended unless it already ends in one. An
// empty text becomes "/".
QString withTrailingSeparator(QStringView dir);

// The start of every per-unit message: a blank, the unit number k + 1,
// "号機" and a blank (" 3号機 " for k = 2).
QString unitPrefix(int k);

}  // namespace selvane::model
