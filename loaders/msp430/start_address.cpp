#include "loaders/msp430/start_address.h"

namespace msp430 {
namespace {

constexpr uint16_t kErasedWord = 0xFFFF;

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
// the flash).
template <typename Block, typename Skip>
std::optional<uint16_t> LastWordAt(std::span<const Block> image, int32_t lastBlock,
                                   uint32_t address, Skip skip) {
  for (int32_t i = lastBlock; i >= 0; --i) {
    if (skip(i)) continue;
    if (auto word = WordAt(image[static_cast<size_t>(i)], address)) return word;
  }
  return std::nullopt;
}

// The start word, unless it is left erased as the vector tables of these instruments keep it;
// else the reset vector.
template <typename Block, typename Skip>
std::optional<uint16_t> FindStart(std::span<const Block> image, int32_t lastBlock, Skip skip) {
  const std::optional<uint16_t> start = LastWordAt(image, lastBlock, kStartWordAddress, skip);
  if (start && *start != kErasedWord) return start;
  return LastWordAt(image, lastBlock, kResetVectorAddress, skip);
}

template <typename Block, typename Skip>
bool SetsVectors(std::span<const Block> image, int32_t lastBlock, Skip skip) {
  if (lastBlock < 0 || static_cast<size_t>(lastBlock) >= image.size()) return false;
  for (int32_t i = 0; i <= lastBlock; ++i) {
    if (skip(i)) continue;
    const Block& block = image[static_cast<size_t>(i)];
    for (int j = 0; j < DataCount(block); ++j) {
      const uint32_t address = block.Address + static_cast<uint32_t>(j);
      if (address >= kVectorTableAddress && address < kResetVectorAddress && block.Data[j] != 0xFF)
        return true;
    }
  }
  return false;
}

}  // namespace

bool SetsVectorsBesideReset(std::span<const ImageBlock> image, int32_t lastBlock,
                            int32_t firstHigh) {
  return SetsVectors(image, lastBlock, [&](int32_t i) { return IsHighBlock(image, i, firstHigh); });
}

bool SetsVectorsBesideReset(std::span<const ImageBlock54> image, int32_t lastBlock) {
  return SetsVectors(image, lastBlock, [](int32_t) { return false; });
}

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
