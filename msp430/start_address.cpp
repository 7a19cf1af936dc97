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

template <typename Block, typename Skip>
std::optional<uint16_t> FindWord(std::span<const Block> image, int32_t lastBlock, uint32_t address,
                                 Skip skip) {
  for (int32_t i = 0; i <= lastBlock; ++i) {
    if (skip(i)) continue;
    if (auto word = WordAt(image[static_cast<size_t>(i)], address)) return word;
  }
  return std::nullopt;
}

}  // namespace

std::optional<uint16_t> ClassicStartAddress(std::span<const ImageBlock> image, int32_t lastBlock,
                                            int32_t firstHigh) {
  if (lastBlock < 0 || static_cast<size_t>(lastBlock) >= image.size()) return std::nullopt;
  const ImageBlock& last = image[static_cast<size_t>(lastBlock)];
  const int n = DataCount(last);
  if (n >= 4) return static_cast<uint16_t>(last.Data[n - 4] | last.Data[n - 3] << 8);
  const auto high = [&](int32_t i) { return IsHighBlock(image, i, firstHigh); };
  if (auto word = FindWord(image, lastBlock, kStartWordAddress, high)) return word;
  return FindWord(image, lastBlock, kResetVectorAddress, high);
}

std::optional<uint32_t> StartAddress54(std::span<const ImageBlock54> image, int32_t lastBlock) {
  if (lastBlock < 0 || static_cast<size_t>(lastBlock) >= image.size()) return std::nullopt;
  if (auto word = WordAt(image[static_cast<size_t>(lastBlock)], kStartWordAddress)) return *word;
  const auto none = [](int32_t) { return false; };
  if (auto word = FindWord(image, lastBlock, kStartWordAddress, none)) return *word;
  if (auto word = FindWord(image, lastBlock, kResetVectorAddress, none)) return *word;
  return std::nullopt;
}

}  // namespace msp430
