#include "update/offered_version.h"

#include <cctype>
#include <fstream>

namespace update {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the last `count` bytes (or the first, when head is set) of the file.
std::optional<std::string> ReadPart(const std::filesystem::path& file, size_t count, bool head) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(0, std::ios::end);
  const auto size = static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0));
  const size_t take = std::min(count, size);
  in.seekg(head ? 0 : static_cast<std::streamoff>(size - take), std::ios::beg);
  std::string bytes(take, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(take));
  bytes.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return bytes;
}

}  // namespace

VersionFileMode VersionModeFor(const std::string& pattern, const std::string& fileName) {
  const bool sRecord = pattern.find("S1094000") != std::string::npos;
  const bool program =
      fileName.find("exe") != std::string::npos || fileName.find("dll") != std::string::npos;
  return static_cast<VersionFileMode>((sRecord ? 1 : 0) + (program ? 2 : 0));
}

std::optional<std::string> ReadVersionBytes(const std::filesystem::path& file,
                                            VersionFileMode mode) {
  switch (mode) {
    case VersionFileMode::kHead:
      return ReadPart(file, 1000, true);
    case VersionFileMode::kTail:
      return ReadPart(file, 1000, false);
    case VersionFileMode::kProgram:
      return ReadPart(file, 64000, false);
    case VersionFileMode::kNone:
      break;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string();
}

std::string DecodeHexVersion(const std::string& bytes, const std::string& pattern) {
  if (pattern.empty()) return {};
  const size_t found = bytes.find(pattern);
  if (found == std::string::npos) return {};
  std::string result;
  size_t i = found + pattern.size();
  while (i + 1 < bytes.size()) {
    const int high = HexDigit(bytes[i]);
    const int low = HexDigit(bytes[i + 1]);
    if (high < 0 || low < 0) break;  // not a hexadecimal pair: the data ends here
    const char value = static_cast<char>(high * 16 + low);
    if (value == '\0') break;
    result.push_back(value);
    i += 2;
    while (i < bytes.size() && bytes[i] == ' ') ++i;
  }
  return result;
}

std::string DecodeProgramVersion(const std::string& bytes, const std::string& pattern) {
  // Little-endian UTF-16 units, reduced to their low bytes (the version texts are ASCII).
  std::string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned value =
        static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
    units.push_back(value == 0 ? '\0' : static_cast<char>(value & 0xFF));
  }
  size_t start = 0;
  while (start < units.size()) {
    const size_t end = std::min(units.find('\0', start), units.size());
    const std::string text = units.substr(start, end - start);
    if (!pattern.empty() && text.find(pattern) != std::string::npos) {
      const size_t blank = text.find(' ');
      if (blank != std::string::npos) return text.substr(blank + 1);
      // The value follows the key's terminating NUL after one skipped unit.
      const size_t valueStart = end + 2;
      if (valueStart >= units.size()) return {};
      const size_t valueEnd = std::min(units.find('\0', valueStart), units.size());
      const std::string value = units.substr(valueStart, valueEnd - valueStart);
      return value.empty() ? value : value.substr(1);
    }
    start = end == start ? start + 1 : end + 1;
  }
  return {};
}

}  // namespace update
