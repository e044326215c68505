// Numbers read from texts the operator or a settings file supplies.
#pragma once

#include <QStringView>

#include <cstdint>
#include <optional>

namespace selvane::publication {

// The decimal number a text begins with: leading blanks skipped, an optional
// sign, digits with at most one decimal point. Nothing else is a number (no
// exponent, no hexadecimal, no full-width digits); the first other character
// ends it. 0 when the text begins with no digit. Very long digit runs give a
// huge or infinite value, never an error.
double numericValue(QStringView text);

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double v);

// roundHalfEven(v) when it fits the type, else nothing (the conversion fails
// and the caller keeps what it had).
std::optional<int32_t> toInt32(double v);
std::optional<int16_t> toInt16(double v);

// numericValue(text) limited to low..high: below low gives low, above high
// gives high (compared before rounding), otherwise the rounded value.
int32_t clampText(QStringView text, int32_t low, int32_t high);

// The leading number of a text as a whole number (interval, start frame,
// values picked in lists); nothing when it does not fit 32 bits.
inline std::optional<int32_t> wholeNumber(QStringView text) { return toInt32(numericValue(text)); }

}  // namespace selvane::publication
