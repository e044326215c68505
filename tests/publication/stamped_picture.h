// Pictures that carry their own number, for readers that must tell whether
// the picture they read is the one cap.ctl named: 640 x 480, the number's 16
// bits as black and white 32 x 16 blocks along the top, noise below (so the
// files are as large as camera pictures). The slot text of picture n is the
// time n seconds after midnight, "2026/01/01 hh:mm:ss ".
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace stamped {

using Bytes = std::vector<uint8_t>;

Bytes bmp(int id);
Bytes jpeg(int id);  // quality 90
std::string slotText(int id);

// The number a picture carries, or nullopt when it is no whole picture:
// a BMP whose size field is not its size, a JPEG that decodes with any
// warning (truncated, corrupt).
std::optional<int> idOfBmp(const Bytes& bytes);
std::optional<int> idOfJpeg(const Bytes& bytes);
// Whole pictures of any size: a JPEG that decodes without any warning, a BMP
// whose size field is its size.
bool wholeJpeg(const Bytes& bytes);
bool wholeBmp(const Bytes& bytes);
// The number a slot text names, or nullopt.
std::optional<int> idOfText(const std::string& text);

}  // namespace stamped
