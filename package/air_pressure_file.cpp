#include "package/air_pressure_file.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

#include "package/messages.h"

namespace package {
namespace {

constexpr std::string_view kBlanks = " \t\r";
constexpr std::string_view kSeparators = ",;\t";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool HasDigit(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The serial number: digits only, above 0, within 32 bits.
bool ReadSerial(std::string_view text, int32_t& serial) {
  if (!AllDigits(text)) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), serial);
  return error == std::errc() && end == text.data() + text.size() && serial > 0;
}

// Digits with an optional point and more digits; read with a point whatever the locale.
bool ReadValue(std::string_view text, float& value) {
  const size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view("0") : text.substr(point + 1);
  if (!AllDigits(whole) || !AllDigits(fraction)) return false;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

PressureTableFile ParsePressureTable(std::string_view text) {
  PressureTableFile table;
  table.present = table.readable = true;
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(3);
  std::set<int32_t> seen;
  std::set<int32_t> refused;  // serial numbers that get the default
  bool anyLine = false;
  int lineNumber = 0;
  for (size_t start = 0; start <= text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = Trimmed(text.substr(start, end - start));
    start = end + 1;
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;
    const bool first = !anyLine;
    anyLine = true;
    if (first && !HasDigit(line)) continue;  // a header
    const size_t separator = line.find_first_of(kSeparators);
    PressureProblem problem{lineNumber, PressureFault::kNoSerialNumber, 0, ""};
    if (!ReadSerial(Trimmed(line.substr(0, separator)), problem.serialNumber)) {
      problem.serialNumber = 0;
      table.problems.push_back(problem);
      continue;
    }
    problem.value = separator == std::string_view::npos
                        ? std::string()
                        : std::string(Trimmed(line.substr(separator + 1)));
    float value = 0;
    if (!ReadValue(problem.value, value)) {
      problem.fault = PressureFault::kBadValue;
    } else if (value < kPressureLowest || value > kPressureHighest) {
      problem.fault = PressureFault::kOutOfRange;
    } else if (!seen.insert(problem.serialNumber).second) {
      problem.fault = PressureFault::kRepeated;
    } else {
      table.rows.push_back({problem.serialNumber, value});
      continue;
    }
    seen.insert(problem.serialNumber);
    refused.insert(problem.serialNumber);
    table.problems.push_back(problem);
  }
  // Never a value for a serial number some line got wrong: which of its lines was meant is
  // not known.
  std::erase_if(table.rows,
                [&](const PressureRow& row) { return refused.count(row.serialNumber); });
  return table;
}

PressureTableFile ReadPressureTable(const std::filesystem::path& folder) {
  const std::filesystem::path path = folder / kPressureFileName;
  std::error_code error;
  PressureTableFile table;
  if (!std::filesystem::exists(path, error)) return table;
  table.present = true;
  std::ifstream in(path, std::ios::binary);
  const bool regular = std::filesystem::is_regular_file(path, error);
  const uintmax_t size = regular ? std::filesystem::file_size(path, error) : 0;
  if (!in || !regular || error || size > kPressureFileLimit) return table;
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return table;
  return ParsePressureTable(text);
}

std::string PressureProblemText(const PressureProblem& problem, int32_t language) {
  const std::string where = messages::Filled(messages::NOTE_FILE_LINE, language, kPressureFileName,
                                             std::to_string(problem.line));
  const std::string serial = std::to_string(problem.serialNumber);
  switch (problem.fault) {
    case PressureFault::kNoSerialNumber:
      return messages::Filled(messages::MSG_PRESSURE_NO_SERIAL, language, where);
    case PressureFault::kBadValue:
      return messages::Filled(messages::MSG_PRESSURE_BAD_VALUE, language, where, serial);
    case PressureFault::kOutOfRange:
      return messages::Filled(messages::MSG_PRESSURE_OUT_OF_RANGE, language, where, serial);
    case PressureFault::kRepeated:
      return messages::Filled(messages::MSG_PRESSURE_REPEATED, language, where, serial);
  }
  return where;
}

std::string PressureUnreadableText(int32_t language) {
  return std::string(messages::Text(messages::MSG_PRESSURE_UNREADABLE, language));
}

}  // namespace package
