// Where the loaders start the new program: the word stored at 0xFFFC, in front of the reset
// vector, found where the sequence expects it (the last block) or else anywhere in the image; an
// image without that word is started at its reset vector, as a reset would. An image with
// neither is refused before anything is sent rather than started at a guessed address.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "msp430/image_reader.h"

namespace msp430 {

inline constexpr uint32_t kStartWordAddress = 0xFFFC;
inline constexpr uint32_t kResetVectorAddress = 0xFFFE;

// Classic: data bytes n - 4 and n - 3 of the last block (its word at 0xFFFC when it ends at
// 0xFFFF); a last block of fewer than four bytes: the word at 0xFFFC, else the reset vector, of a
// block below 0x10000.
std::optional<uint16_t> ClassicStartAddress(std::span<const ImageBlock> image, int32_t lastBlock,
                                            int32_t firstHigh);
// F5xx: the word at 0xFFFC, in the last block or else in any block; else the reset vector.
std::optional<uint32_t> StartAddress54(std::span<const ImageBlock54> image, int32_t lastBlock);

}  // namespace msp430
