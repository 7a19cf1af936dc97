#include "loaders/msp430/erase_sweep.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>

#include "package/messages.h"

namespace msp430 {
namespace {

// The last address of the segment that starts at segment.
uint32_t SegmentEnd(uint32_t segment, const FlashLayout& flash) {
  const uint32_t size = segment < flash.MainStart ? flash.InfoSegment : flash.MainSegment;
  const uint32_t end = (segment / size) * size + size - 1;
  return segment < flash.MainStart ? std::min(end, flash.MainStart - 1) : end;
}

}  // namespace

std::optional<uint32_t> SegmentStart(uint32_t address, const FlashLayout& flash) {
  if (address < flash.InfoStart || address > flash.Top) return std::nullopt;
  if (address < flash.MainStart) return address / flash.InfoSegment * flash.InfoSegment;
  return std::max(address / flash.MainSegment * flash.MainSegment, flash.MainStart);
}

std::vector<uint32_t> EraseSweep(std::span<const DataExtent> data, uint32_t start, uint32_t bottom,
                                 const FlashLayout& flash, std::span<const uint32_t> also) {
  std::set<uint32_t, std::greater<>> segments;
  const auto add = [&](uint32_t address) {
    const std::optional<uint32_t> segment = SegmentStart(address, flash);
    if (segment && *segment != flash.VectorSegment) segments.insert(*segment);
    return segment;
  };
  // Down from the start; a start below bottom erases its own segment only.
  for (uint32_t address = start;;) {
    const std::optional<uint32_t> segment = add(address);
    if (!segment || *segment <= bottom || *segment == 0) break;
    address = *segment - 1;
  }
  for (const DataExtent& extent : data) {
    if (extent.Count == 0) continue;
    const uint64_t last = uint64_t{extent.Address} + extent.Count - 1;
    for (uint64_t address = extent.Address; address <= last;) {
      const std::optional<uint32_t> segment = add(static_cast<uint32_t>(address));
      address = segment ? uint64_t{SegmentEnd(*segment, flash)} + 1 : address + 1;
    }
  }
  for (const uint32_t address : also) add(address);
  return {segments.begin(), segments.end()};
}

std::vector<uint32_t> ClassicEraseSweep(std::span<const ImageBlock> image, int32_t lastBlock,
                                        int32_t firstHigh, uint32_t start) {
  constexpr uint32_t kInfoSegment = 0x1080;
  std::vector<DataExtent> data;
  bool high = false;
  for (int32_t i = 0; i <= lastBlock && static_cast<size_t>(i) < image.size(); ++i) {
    const ImageBlock& block = image[static_cast<size_t>(i)];
    high = (high || i == firstHigh) && !IsMarker(block);
    const uint32_t offset = high ? kHighStart : 0;
    data.push_back({block.Address + offset, static_cast<uint32_t>(DataCount(block))});
  }
  if (data.empty()) return {};
  const uint32_t bottom = data.size() > 1 ? data[1].Address : data[0].Address + data[0].Count;
  const uint32_t also[] = {kInfoSegment};
  return EraseSweep(data, start, bottom, kClassicFlash, also);
}

std::vector<uint32_t> EraseSweep54(std::span<const ImageBlock54> image, int32_t lastBlock,
                                   uint32_t start) {
  std::vector<DataExtent> data;
  for (int32_t i = 0; i <= lastBlock && static_cast<size_t>(i) < image.size(); ++i) {
    const ImageBlock54& block = image[static_cast<size_t>(i)];
    data.push_back({block.Address, static_cast<uint32_t>(DataCount(block))});
  }
  if (data.empty()) return {};
  // The sweep reaches down to block 1, or to the end of block 0 when it is the only one.
  const uint32_t bottom = data.size() > 1 ? data[1].Address : data[0].Address + data[0].Count;
  return EraseSweep(data, start, bottom, kF5xxFlash);
}

uint32_t SweepStart(int32_t bslMode, int32_t flashErase2, int32_t flashErase3) {
  const int32_t chosen = bslMode <= 0 ? flashErase2 : flashErase3;
  return chosen > 0 ? static_cast<uint32_t>(chosen) : 0xFC00;
}

std::string EraseStartError(uint32_t start, const FlashLayout& flash, int32_t language) {
  if (start <= flash.Top) return {};
  const auto hex = [](uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return std::string(text);
  };
  return messages::Filled(messages::MSG_ERASE_BEYOND_FLASH, language, hex(start), hex(flash.Top));
}

}  // namespace msp430
