#include "core/text.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace core {

int32_t FindText(std::string_view text, std::string_view pattern, int32_t from) {
  if (text.empty() || pattern.empty()) return 0;
  const size_t start = from > 1 ? static_cast<size_t>(from - 1) : 0;
  if (start >= text.size()) return 0;
  const size_t found = text.find(pattern, start);
  return found == std::string_view::npos ? 0 : static_cast<int32_t>(found + 1);
}

void DeleteChars(std::string& buffer, int32_t position, int32_t count) {
  if (position < 1 || count <= 0 || static_cast<size_t>(position) > buffer.size()) return;
  buffer.erase(static_cast<size_t>(position - 1), static_cast<size_t>(count));
}

void InsertText(std::string_view text, std::string& buffer, int32_t position) {
  if (position < 1 || static_cast<size_t>(position) > buffer.size() + 1) return;
  buffer.insert(static_cast<size_t>(position - 1), text);
}

int32_t HexToInt(std::string_view text) {
  int32_t value = 0;
  for (size_t i = 0; i < text.size() && i < 4; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const int32_t digit = c <= '9' ? c - '0' : std::toupper(c) - 'A' + 10;
    value = value * 16 + digit;
  }
  return value;
}

std::u16string AnsiToWide(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (char c : text) wide.push_back(static_cast<unsigned char>(c));
  return wide;
}

std::string WideToAnsi(std::u16string_view text) {
  std::string ansi;
  ansi.reserve(text.size());
  for (char16_t c : text) ansi.push_back(static_cast<char>(c & 0xFF));
  return ansi;
}

namespace {

// Code points of Windows-1252 0x80..0x9F; 0 where the code page has no character.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one UTF-8 sequence at text[i] and advances i; a malformed sequence gives U+FFFD.
uint32_t NextCodePoint(std::string_view text, size_t& i) {
  const unsigned char c = static_cast<unsigned char>(text[i++]);
  if (c < 0x80) return c;
  if (c < 0xC0) return 0xFFFD;
  const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
  uint32_t cp = c & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    ++i;
  }
  return cp;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    uint32_t cp = b;
    if (b >= 0x80 && b < 0xA0) cp = kHigh[b - 0x80] ? kHigh[b - 0x80] : b;
    AppendUtf8(out, cp);
  }
  return out;
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const uint32_t cp = NextCodePoint(text, i);
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    // The bytes the code page leaves undefined were read as the code points of the same value:
    // they go back as they came, so a rewrite keeps them.
    if (cp >= 0x80 && cp < 0xA0 && kHigh[cp - 0x80] == 0) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    char mapped = '?';
    for (size_t k = 0; k < kHigh.size(); ++k) {
      if (kHigh[k] != 0 && kHigh[k] == cp) mapped = static_cast<char>(0x80 + k);
    }
    out.push_back(mapped);
  }
  return out;
}

std::string PackagePath(std::string_view name) {
  std::string path(name);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

}  // namespace core
