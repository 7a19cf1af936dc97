// TI-TXT firmware images cut into the block tables the MSP430 boot loaders program. The readers
// work on text already read into memory and never touch the port: anything they cannot take is
// refused with the line it stands in, before the loader sends a single byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace msp430 {

// The memory map the image reader, the erase plan and the loaders share.
inline constexpr uint32_t kVectorSegment = 0xFE00;       // the segment of the interrupt vectors
inline constexpr uint32_t kVectorEraseAddress = 0xFFFF;  // an address inside the vector segment
inline constexpr uint32_t kHighStart = 0x10000;          // the first address above 16 bits
inline constexpr uint32_t kAddressLimit = 0x1000000;     // F5xx addresses go out as three bytes

inline constexpr size_t kBlockDataSize = 246;

// Classic block: the stored address is the low 16 bits of the start address; blocks from
// FirstHigh on lie 0x10000 higher (the loader reaches them with the memory offset).
struct ImageBlock {
  uint16_t Address = 0;
  uint16_t Length = 0;  // 4 + data count; 0 only for the marker in front of the vector blocks
  std::array<uint8_t, kBlockDataSize> Data{};
};
static_assert(sizeof(ImageBlock) == 250);

struct ImageBlock54 {
  uint32_t Address = 0;
  uint16_t Length = 0;  // 6 + data count
  std::array<uint8_t, kBlockDataSize> Data{};
};
static_assert(sizeof(ImageBlock54) == 252);

inline constexpr size_t kImageBlocks = 1280;  // Image, Image54
inline constexpr size_t kPatchBlocks = 20;    // PatchImage
inline constexpr size_t kImageTextSize = 400000;
inline constexpr size_t kImage54TextSize = 1500000;
inline constexpr size_t kPatchTextSize = 2000;
inline constexpr char kPatchFileName[] = "Patch.TXT";

inline int DataCount(const ImageBlock& block) {
  return block.Length > 4 ? block.Length - 4 : 0;
}
inline int DataCount(const ImageBlock54& block) {
  return block.Length > 6 ? block.Length - 6 : 0;
}
// The empty block that separates the high blocks from the vector blocks moved behind them.
inline bool IsMarker(const ImageBlock& block) {
  return block.Address == 0 && block.Length == 0;
}

enum class ImageErrorKind {
  None,
  Unreadable,         // the file cannot be opened or read
  TooLarge,           // larger than the text buffer (Limit)
  NoData,             // not a single data byte: programming it would only erase the instrument
  DataBeforeAddress,  // data before the first "@" line
  BadCharacter,       // Character is not a hexadecimal digit
  BadByte,            // a byte not written as exactly two hexadecimal digits
  LineTooLong,        // more than 16 bytes in one data line
  BadAddress,         // "@" line without a readable hexadecimal address
  AddressOutOfRange,  // data at or above Limit (or a negative address)
  OutOfOrder,         // classic: data below 0x10000 after data above 0xFFFF
  OddBlock,           // classic: a block would end with an odd byte count inside a section
  TooManyBlocks,      // more blocks than the table holds (Limit)
};

struct ImageError {
  ImageErrorKind Kind = ImageErrorKind::None;
  int32_t Line = 0;  // 1-based line of the text, 0 when the error is not about a line
  uint8_t Character = 0;
  uint32_t Limit = 0;
  std::string File;  // set by the file readers
};

struct ImageReadResult {
  int32_t LastBlock = -1;
  int32_t FirstHigh = -1;
  ImageError Error;
  bool Ok() const { return Error.Kind == ImageErrorKind::None; }
};

struct Image54ReadResult {
  int32_t LastBlock = -1;
  int32_t VectorFirst = -1;
  int32_t VectorCount = 0;
  ImageError Error;
  bool Ok() const { return Error.Kind == ImageErrorKind::None; }
};

// Classic reader: clears the table, fills it and returns LastBlock and FirstHigh. Blocks that
// reach the vector segment are moved behind all others; when the image has blocks above 0xFFFF,
// behind the high blocks and an empty marker. On an error the table is left cleared.
ImageReadResult ReadImage(std::string_view text, std::span<ImageBlock> table);
// F5xx reader: full addresses, the vector blocks moved behind all others.
Image54ReadResult ReadImage54(std::string_view text, std::span<ImageBlock54> table);

// A classic image with data above 0xFFFF and no vector block behind the marker: its vector
// segment would be erased and never written again, leaving the instrument without its reset
// vector and its password.
inline bool HighDataWithoutVectors(std::span<const ImageBlock> table,
                                   const ImageReadResult& result) {
  return result.Ok() && result.FirstHigh > 0 && result.LastBlock >= 0 &&
         static_cast<size_t>(result.LastBlock) < table.size() &&
         IsMarker(table[static_cast<size_t>(result.LastBlock)]);
}

}  // namespace msp430
