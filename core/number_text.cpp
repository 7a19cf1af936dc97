#include "core/number_text.h"

#include <charconv>
#include <cmath>

namespace core {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

size_t SkipDigits(std::string_view text, size_t i) {
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i;
}

// The length of the plain decimal number at the start of text, 0 when none.
size_t NumberLength(std::string_view text) {
  size_t i = 0;
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
  return i;
}

}  // namespace

std::optional<double> ReadDecimal(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
  std::string_view number = text.substr(start);
  number = number.substr(0, NumberLength(number));
  if (number.empty()) return std::nullopt;
  const bool negative = number[0] == '-';
  if (number[0] == '+' || number[0] == '-') number.remove_prefix(1);
  double parsed = 0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), parsed);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large, or too close to zero when the exponent is negative.
    const bool tiny = number.find("e-") != number.npos || number.find("E-") != number.npos;
    parsed = tiny ? 0.0 : HUGE_VAL;
  }
  return negative ? -parsed : parsed;
}

std::string FixedText(double value, int decimals) {
  // Room for the largest double in fixed notation.
  char digits[400];
  const auto result =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
  return result.ec == std::errc() ? std::string(digits, result.ptr) : std::string("0");
}

std::string ShortestText(float value) {
  char digits[64];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return result.ec == std::errc() ? std::string(digits, result.ptr) : std::string("0");
}

}  // namespace core
