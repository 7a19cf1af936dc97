// Where the loaders start the new program: the word stored at 0xFFFC, in front of the reset
// vector, looked up by its address in whichever block holds it (the last such block when several
// do, as the flash keeps the last write); an image without that word, or with it erased (0xFFFF,
// as these instruments keep every vector but reset), is started at its reset vector, as a reset
// would. An image with neither is refused before anything is sent rather than
// started at a guessed address.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "loaders/msp430/image_reader.h"

namespace msp430 {

inline constexpr uint32_t kStartWordAddress = 0xFFFC;
inline constexpr uint32_t kResetVectorAddress = 0xFFFE;
inline constexpr uint32_t kVectorTableAddress = 0xFFE0;

// Classic: blocks that lie above 0xFFFF (from firstHigh up to the marker) do not count.
std::optional<uint16_t> ClassicStartAddress(std::span<const ImageBlock> image, int32_t lastBlock,
                                            int32_t firstHigh);
// The image sets a word of the vector table (0xFFE0 to 0xFFFD) to anything but 0xFFFF. The
// boot loader's password is that table; the instruments name only the reset vector of it, so
// such an image makes the next update fail unless the instrument reports the other words too.
bool SetsVectorsBesideReset(std::span<const ImageBlock> image, int32_t lastBlock,
                            int32_t firstHigh);
bool SetsVectorsBesideReset(std::span<const ImageBlock54> image, int32_t lastBlock);

std::optional<uint32_t> StartAddress54(std::span<const ImageBlock54> image, int32_t lastBlock);

}  // namespace msp430
