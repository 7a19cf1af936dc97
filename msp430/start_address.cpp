#include "msp430/start_address.h"

namespace msp430 {
namespace {

template <typename Block>
std::optional<uint16_t> WordAt(const Block& block, uint32_t address) {
  const int count = DataCount(block);
  if (address < block.Address || address + 2 > block.Address + static_cast<uint32_t>(count))
    return std::nullopt;
  const uint32_t i = address - block.Address;
  return static_cast<uint16_t>(block.Data[i] | block.Data[i + 1] << 8);
}

// Classic blocks from firstHigh up to the marker lie 0x10000 higher than stored.
bool IsHighBlock(std::span<const ImageBlock> image, int32_t index, int32_t firstHigh) {
  if (firstHigh < 0 || index < firstHigh) return false;
  for (int32_t i = firstHigh; i < index; ++i)
    if (IsMarker(image[static_cast<size_t>(i)])) return false;
  return !IsMarker(image[static_cast<size_t>(index)]);
}

// The word at address in the last block that holds it (a later block overwrites an earlier one in
// the flash); else the reset vector found the same way.
template <typename Block, typename Skip>
std::optional<uint16_t> FindStart(std::span<const Block> image, int32_t lastBlock, Skip skip) {
  for (const uint32_t address : {kStartWordAddress, kResetVectorAddress}) {
    for (int32_t i = lastBlock; i >= 0; --i) {
      if (skip(i)) continue;
      if (auto word = WordAt(image[static_cast<size_t>(i)], address)) return word;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<uint16_t> ClassicStartAddress(std::span<const ImageBlock> image, int32_t lastBlock,
                                            int32_t firstHigh) {
  if (lastBlock < 0 || static_cast<size_t>(lastBlock) >= image.size()) return std::nullopt;
  return FindStart(image, lastBlock, [&](int32_t i) { return IsHighBlock(image, i, firstHigh); });
}

std::optional<uint32_t> StartAddress54(std::span<const ImageBlock54> image, int32_t lastBlock) {
  if (lastBlock < 0 || static_cast<size_t>(lastBlock) >= image.size()) return std::nullopt;
  return FindStart(image, lastBlock, [](int32_t) { return false; });
}

}  // namespace msp430
