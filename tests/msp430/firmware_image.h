// Firmware images for loader tests: sections written as TI-TXT, and the bytes they stand for, so
// a test can compare the simulated instrument's flash with what it asked to program.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace msp430_test {

struct Section {
  uint32_t address;
  std::vector<uint8_t> bytes;
};

// Rows of 16 bytes, CR LF, "q" at the end.
inline std::string TiTxt(const std::vector<Section>& sections) {
  std::string text;
  char buffer[16];
  for (const Section& section : sections) {
    std::snprintf(buffer, sizeof buffer, "@%04X\r\n", section.address);
    text += buffer;
    for (size_t i = 0; i < section.bytes.size(); ++i) {
      std::snprintf(buffer, sizeof buffer, "%02X", section.bytes[i]);
      text += buffer;
      text += (i % 16 == 15 || i + 1 == section.bytes.size()) ? "\r\n" : " ";
    }
  }
  return text + "q\r\n";
}

// Bytes that differ from block to block and contain every value (0x80, 0x90, 0xA0 included).
inline std::vector<uint8_t> Pattern(size_t count, uint8_t seed) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return bytes;
}

// An interrupt-vector table ending at 0xFFFF as the instruments keep it: every vector erased
// (0xFFFF) but the reset vector, so that the next update's password is known.
inline Section VectorTable(uint32_t first, uint16_t reset) {
  std::vector<uint8_t> bytes(0x10000 - first, 0xFF);
  bytes[bytes.size() - 2] = static_cast<uint8_t>(reset);
  bytes[bytes.size() - 1] = static_cast<uint8_t>(reset >> 8);
  return {first, bytes};
}

// The same with the word at 0xFFFC set (where the loaders start the program when it is there).
inline Section VectorTableWithStart(uint32_t first, uint16_t start, uint16_t reset) {
  Section table = VectorTable(first, reset);
  table.bytes[table.bytes.size() - 4] = static_cast<uint8_t>(start);
  table.bytes[table.bytes.size() - 3] = static_cast<uint8_t>(start >> 8);
  return table;
}

// Later sections overwrite earlier ones, as the flash would (for tests that overlap, see there).
inline std::map<uint32_t, uint8_t> ImageBytes(const std::vector<Section>& sections) {
  std::map<uint32_t, uint8_t> bytes;
  for (const Section& section : sections)
    for (size_t i = 0; i < section.bytes.size(); ++i)
      bytes[section.address + static_cast<uint32_t>(i)] = section.bytes[i];
  return bytes;
}

}  // namespace msp430_test
