// The check character of a data block of the WinCE transfer: a CRC-8 over the block's bytes,
// moved off the values the frame itself uses (NUL and the markers "D", "," and "#").
#pragma once

#include <cstdint>
#include <span>

namespace loaders {

// CRC-8 with polynomial 0x1D, initial value 0xFF, most significant bit first, no reflection
// and no final XOR. "123456789" gives 0xB4.
uint8_t Crc8(std::span<const uint8_t> bytes);

// The CRC-8 of the block, 0 made 1 and the frame's markers moved up by one.
uint8_t BlockCheckChar(std::span<const uint8_t> bytes);

}  // namespace loaders
