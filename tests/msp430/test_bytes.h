// Byte strings written as hexadecimal text ("80 1E 04 04"), so expected frames read like a trace.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace msp430_test {

inline std::vector<uint8_t> Bytes(std::string_view hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size();) {
    if (hex[i] == ' ') {
      ++i;
      continue;
    }
    bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    i += 2;
  }
  return bytes;
}

inline std::string Hex(std::span<const uint8_t> bytes) {
  std::string text;
  char digits[4];
  for (uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, text.empty() ? "%02X" : " %02X", b);
    text += digits;
  }
  return text;
}

}  // namespace msp430_test
