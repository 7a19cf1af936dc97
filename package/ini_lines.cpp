#include "package/ini_lines.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace package {
namespace {

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// The bytes from start on as one entry that keeps its last line end apart, so a line appended
// behind it starts on a line of its own.
IniLine UnreadRest(std::string_view rest) {
  size_t endLength = 0;
  if (rest.ends_with("\r\n")) {
    endLength = 2;
  } else if (rest.ends_with('\r') || rest.ends_with('\n')) {
    endLength = 1;
  }
  const size_t textLength = rest.size() - endLength;
  return {std::string(rest.substr(0, textLength)), std::string(rest.substr(textLength)), true};
}

}  // namespace

IniLines SplitIniLines(std::string_view bytes) {
  IniLines lines;
  size_t start = 0;
  while (start < bytes.size()) {
    if (lines.size() == kMaxIniLines) {
      lines.push_back(UnreadRest(bytes.substr(start)));
      break;
    }
    const size_t stop = bytes.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) {
      lines.push_back({std::string(bytes.substr(start)), ""});
      break;
    }
    size_t endLength = 1;
    if (bytes[stop] == '\r' && stop + 1 < bytes.size() && bytes[stop + 1] == '\n') endLength = 2;
    lines.push_back({std::string(bytes.substr(start, stop - start)),
                     std::string(bytes.substr(stop, endLength))});
    start = stop + endLength;
  }
  return lines;
}

std::optional<IniLines> LoadIniLines(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return std::nullopt;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error || size > kMaxIniFileSize) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return SplitIniLines(bytes);
}

std::optional<std::string_view> KeyValue(std::string_view line, std::string_view key) {
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos || !EqualNoCase(line.substr(0, equals), key)) {
    return std::nullopt;
  }
  return line.substr(equals + 1);
}

bool HasUnreadLines(const IniLines& lines) {
  return !lines.empty() && lines.back().unread;
}

int FindKey(const IniLines& lines, std::string_view key) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].unread && KeyValue(lines[i].text, key)) return static_cast<int>(i);
  }
  return -1;
}

std::string SaveIniLinesAtomically(const std::filesystem::path& file, const IniLines& lines) {
  std::string bytes;
  for (const IniLine& line : lines) bytes += line.text + line.end;
  return ReplaceFileAtomically(file, bytes);
}

}  // namespace package
