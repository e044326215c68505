#include "selvane/publication/numeric_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace selvane::publication {

double numericValue(QStringView text) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n && text[i] == u' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  std::string number;
  bool digits = false;
  bool wholePartNonZero = false;
  bool point = false;
  for (; i < n; ++i) {
    const char16_t c = text[i].unicode();
    if (c >= u'0' && c <= u'9') {
      number += char(c);
      digits = true;
      if (!point && c != u'0') wholePartNonZero = true;
    } else if (c == u'.' && !point) {
      number += '.';
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return 0.0;
  // from_chars reads independently of the process locale (Qt sets the
  // user's, which may use ',' as decimal point).
  double v = 0.0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), v, std::chars_format::fixed);
  (void)end;
  if (ec == std::errc::result_out_of_range) v = wholePartNonZero ? std::numeric_limits<double>::infinity() : 0.0;
  return negative ? -v : v;
}

double roundHalfEven(double v) {
  if (!std::isfinite(v)) return v;
  const double lower = std::floor(v);
  const double diff = v - lower;
  if (diff < 0.5) return lower;
  if (diff > 0.5) return lower + 1.0;
  return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

namespace {
template <typename T>
std::optional<T> fitRounded(double v) {
  const double r = roundHalfEven(v);
  if (!(r >= double(std::numeric_limits<T>::min()) && r <= double(std::numeric_limits<T>::max()))) return std::nullopt;
  return static_cast<T>(r);
}
}  // namespace

std::optional<int32_t> toInt32(double v) { return fitRounded<int32_t>(v); }
std::optional<int16_t> toInt16(double v) { return fitRounded<int16_t>(v); }

int32_t clampText(QStringView text, int32_t low, int32_t high) {
  const double v = numericValue(text);
  if (v < low) return low;
  if (v > high) return high;
  return static_cast<int32_t>(roundHalfEven(v));
}

}  // namespace selvane::publication
