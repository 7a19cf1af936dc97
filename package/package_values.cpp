#include "package/package_values.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string>

#include "package/messages.h"

namespace package {

int32_t LeadingInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min(kLimit, value * 10 + (text[i] - '0'));
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

int32_t LeadingHex(std::string_view text) {
  uint32_t value = 0;
  for (char c : text) {
    uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      break;
    }
    value = value * 16 + digit;  // wraps like the 32-bit field it fills
  }
  return static_cast<int32_t>(value);
}

void ClipValue(std::string& value, size_t maxLength, std::string_view file, int line,
               std::string_view key, int32_t language, FileReport& report) {
  if (value.size() <= maxLength) return;
  value.resize(maxLength);
  const std::string where =
      messages::Filled(messages::NOTE_FILE_LINE, language, file, std::to_string(line));
  report.Note(messages::Filled(messages::NOTE_CLIPPED, language, where, key) +
              messages::Filled(messages::NOTE_CLIPPED_LENGTH, language, std::to_string(maxLength)));
}

void NoteUnreadLines(const IniLines& lines, std::string_view file, int32_t language,
                     FileReport& report) {
  if (!HasUnreadLines(lines)) return;
  report.Note(
      messages::Filled(messages::NOTE_UNREAD_LINES, language, file, std::to_string(kMaxIniLines)));
}

PackageNameFault CheckPackageFileName(std::string_view name) {
  if (name.empty()) return PackageNameFault::kNone;
  const auto separator = [](char c) { return c == '/' || c == '\\'; };
  // "/x", "\\server\x", "C:x" and "C:\x" all name something outside the folder.
  if (separator(name.front()) || (name.size() >= 2 && name[1] == ':'))
    return PackageNameFault::kOutside;
  for (size_t start = 0; start <= name.size();) {
    size_t end = start;
    while (end < name.size() && !separator(name[end])) ++end;
    if (name.substr(start, end - start) == "..") return PackageNameFault::kOutside;
    start = end + 1;
  }
  if (name.front() == '-') return PackageNameFault::kOption;
  return PackageNameFault::kNone;
}

int32_t EraseValue(const std::string& text) {
  const bool hex = text.find("0x") != std::string::npos;
  return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, hex ? 16 : 10));
}

}  // namespace package
