// Numbers as the instruments and the package files write them: always with a decimal point,
// whatever locale the desktop (or Qt's application object) has set for the C library.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace core {

// The decimal number at the start of text after blanks and tabs, as strtod reads it in the "C"
// locale but only in the plain form (sign, digits, point, exponent: no "inf", "nan" or
// hexadecimal). Out of range: +-HUGE_VAL when too large, 0 when too close to zero. Nothing when
// no digit is there.
std::optional<double> ReadDecimal(std::string_view text);

// value with `decimals` digits after a point, as "%.*f" prints it in the "C" locale.
std::string FixedText(double value, int decimals);

// The shortest text that reads back as value ("2.5", "1.05").
std::string ShortestText(float value);

}  // namespace core
