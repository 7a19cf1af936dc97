// The segments an erase sweep erases before the blocks are written. The sweep runs from its start
// address (0xFC00 or the device file's value) down to the segment of image block 1, as the boot
// loaders have always done it, and also takes in every segment the image's data touch, so that no
// block is ever written over old firmware. Pure: the loaders walk the list it returns.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "loaders/msp430/image_reader.h"

namespace msp430 {

// A stretch of image data at its full address.
struct DataExtent {
  uint32_t Address = 0;
  uint32_t Count = 0;
};

// Where a processor's flash lies and how it is cut: information memory in small segments from
// InfoStart, main memory in 512-byte segments from MainStart up to Top, the last address the loader
// can reach. The vector segment is erased on its own, just before its blocks.
struct FlashLayout {
  uint32_t InfoStart = 0;
  uint32_t MainStart = 0;
  uint32_t Top = 0;
  uint32_t InfoSegment = 0x80;
  uint32_t MainSegment = 0x200;
  uint32_t VectorSegment = kVectorSegment;
};

// Classic parts: information memory 0x1000-0x10FF, main memory from 0x1100; with the memory offset
// the loader reaches up to 0x1FFFF.
inline constexpr FlashLayout kClassicFlash{0x1000, 0x1100, 0x1FFFF};
// F5xx parts: information memory 0x1800-0x19FF, main memory above it; three-byte addresses of a
// 20-bit address space.
inline constexpr FlashLayout kF5xxFlash{0x1800, 0x1A00, 0xFFFFF};

// The address to erase for the segment that holds address; empty when address is not flash.
std::optional<uint32_t> SegmentStart(uint32_t address, const FlashLayout& flash);

// The segments to erase, as the addresses to send, highest first and each once: every segment
// from start down to the segment that holds bottom, every segment data touch, and the segments in
// also. The vector segment is never part of it.
std::vector<uint32_t> EraseSweep(std::span<const DataExtent> data, uint32_t start, uint32_t bottom,
                                 const FlashLayout& flash, std::span<const uint32_t> also = {});

// The sweep of a classic image read by ReadImage, from start: blocks from firstHigh up to the
// marker lie 0x10000 above their stored address; the information segment at 0x1080 is always
// erased.
std::vector<uint32_t> ClassicEraseSweep(std::span<const ImageBlock> image, int32_t lastBlock,
                                        int32_t firstHigh, uint32_t start);
// The sweep of an F5xx image read by ReadImage54, from start.
std::vector<uint32_t> EraseSweep54(std::span<const ImageBlock54> image, int32_t lastBlock,
                                   uint32_t start);

// Where the sweep starts: 0xFC00, or the device file's value for the boot-loader mode's processor
// (FlashErase2 for mode 0, FlashErase3 for the others) when it is set.
uint32_t SweepStart(int32_t bslMode, int32_t flashErase2, int32_t flashErase3);

// The erase start from the device file (FlashErase2/FlashErase3) when it lies beyond the flash
// the loader can reach: the user's message (language 1 English, otherwise German); empty when the
// start is fine.
std::string EraseStartError(uint32_t start, const FlashLayout& flash, int32_t language);

}  // namespace msp430
