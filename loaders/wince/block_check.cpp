#include "loaders/wince/block_check.h"

#include <array>

namespace loaders {
namespace {

constexpr uint8_t kPolynomial = 0x1D;

constexpr std::array<uint8_t, 256> MakeTable() {
  std::array<uint8_t, 256> table{};
  for (int value = 0; value < 256; ++value) {
    uint8_t crc = static_cast<uint8_t>(value);
    for (int bit = 0; bit < 8; ++bit)
      crc = static_cast<uint8_t>((crc & 0x80) ? (crc << 1) ^ kPolynomial : crc << 1);
    table[static_cast<size_t>(value)] = crc;
  }
  return table;
}

constexpr std::array<uint8_t, 256> kTable = MakeTable();

}  // namespace

uint8_t Crc8(std::span<const uint8_t> bytes) {
  uint8_t crc = 0xFF;
  for (uint8_t byte : bytes) crc = kTable[crc ^ byte];
  return crc;
}

uint8_t BlockCheckChar(std::span<const uint8_t> bytes) {
  uint8_t check = Crc8(bytes);
  if (check == 0) check = 1;
  // The frame reads "D.n,c#": the check character must not look like one of its markers.
  if (check == 'D' || check == ',' || check == '#') ++check;
  return check;
}

}  // namespace loaders
