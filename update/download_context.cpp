#include "update/download_context.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace update {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

size_t SkipDigits(std::string_view text, size_t i) {
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i;
}

// The length of the number at the start of text (after the blanks at from), 0 when none. Only
// the plain decimal form counts: no "inf", "nan" or hexadecimal as strtod would take.
size_t NumberLength(std::string_view text, size_t from) {
  size_t i = from;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const size_t intStart = i;
  i = SkipDigits(text, i);
  bool digits = i > intStart;
  if (i < text.size() && text[i] == '.') {
    const size_t fracEnd = SkipDigits(text, i + 1);
    if (digits || fracEnd > i + 1) {
      digits = true;
      i = fracEnd;
    }
  }
  if (!digits) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t e = i + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    if (SkipDigits(text, e) > e) i = SkipDigits(text, e);
  }
  return i - from;
}

}  // namespace

int32_t VersionHundredths(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
  const size_t length = NumberLength(text, start);
  if (length == 0) return 0;
  std::string_view number = text.substr(start, length);
  const bool negative = number[0] == '-';
  if (number[0] == '+' || number[0] == '-') number.remove_prefix(1);
  // from_chars, unlike strtod, does not follow the locale's decimal separator.
  double parsed = 0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), parsed);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large, or too close to zero when the exponent is negative.
    parsed = number.find("e-") == std::string_view::npos && number.find("E-") == number.npos
                 ? HUGE_VAL
                 : 0.0;
  }
  const double value = (negative ? -parsed : parsed) * 100.01;
  constexpr double kMax = std::numeric_limits<int32_t>::max();
  constexpr double kMin = std::numeric_limits<int32_t>::min();
  if (!(value < kMax)) return std::numeric_limits<int32_t>::max();
  if (!(value > kMin)) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(std::trunc(value));
}

}  // namespace update
