#include "loaders/msp430/image_reader.h"

#include <algorithm>
#include <vector>

namespace msp430 {
namespace {

constexpr int kLinesPerBlock = 15;
constexpr int kBytesPerLine = 16;

enum class Close { Open, ByAddressLine, ByLineCount, BySplit, ByEnd };

// A block as read from the text, with its full address, before a table layout is chosen.
struct RawBlock {
  uint32_t address = 0;
  uint16_t count = 0;
  std::array<uint8_t, kBlockDataSize> data{};
  int32_t firstLine = 0;  // the "@" line that opened it, or the line of its first byte
  int32_t lastLine = 0;   // line of its last byte
  bool byAddressLine = false;
  bool continuesVector = false;  // continues a 15-line block that reached the vector segment
  bool sectionEnd = false;       // no byte of its section follows it
  Close close = Close::Open;

  uint32_t End() const { return address + count; }
};

struct ReaderRules {
  uint32_t addressLimit;  // no byte may lie at or above it
  bool splitAtHigh;       // classic: no block crosses 0x10000 (its address is stored in 16 bits)
  size_t maxBlocks;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Splits the text into lines and the lines into blocks. Lines may end with CR LF, LF or CR:
// taking "the character after CR" blindly would eat the first character of a CR-only line.
class TextParser {
 public:
  TextParser(const ReaderRules& rules, std::vector<RawBlock>& blocks)
      : rules_(rules), blocks_(blocks) {}

  ImageError Parse(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
      size_t end = text.find_first_of("\r\n", pos);
      if (end == std::string_view::npos) end = text.size();
      const std::string_view line = text.substr(pos, end - pos);
      ++line_;
      pos = end;
      if (pos < text.size())
        pos += (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;

      const size_t first = line.find_first_not_of(" \t");
      if (first == std::string_view::npos) continue;
      if (line[first] == 'q' || line[first] == 'Q') break;
      ImageError error =
          line[first] == '@' ? AddressLine(line.substr(first + 1)) : DataLine(line.substr(first));
      if (error.Kind != ImageErrorKind::None) return error;
    }
    CloseBlock(Close::ByEnd);
    if (blocks_.empty()) return ImageError{ImageErrorKind::NoData, 0, 0, 0, {}};
    return {};
  }

 private:
  ImageError Fail(ImageErrorKind kind, uint8_t character = 0, uint32_t limit = 0) const {
    return ImageError{kind, line_, character, limit, {}};
  }

  ImageError AddressLine(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
    uint64_t value = 0;
    size_t digits = 0;
    for (; i < text.size() && HexValue(text[i]) >= 0; ++i, ++digits)
      value = std::min<uint64_t>(value * 16 + HexValue(text[i]), 0x100000000);
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (digits == 0 || i != text.size()) return Fail(ImageErrorKind::BadAddress);
    if ((negative && value != 0) || value >= rules_.addressLimit)
      return Fail(ImageErrorKind::AddressOutOfRange, 0, rules_.addressLimit);

    CloseBlock(Close::ByAddressLine);
    haveAddress_ = true;
    next_ = {static_cast<uint32_t>(value), true, false, line_};
    return {};
  }

  ImageError DataLine(std::string_view text) {
    int count = 0;
    size_t i = 0;
    while (i < text.size()) {
      if (IsBlank(text[i])) {
        ++i;
        continue;
      }
      const size_t start = i;
      for (; i < text.size() && !IsBlank(text[i]); ++i)
        if (HexValue(text[i]) < 0)
          return Fail(ImageErrorKind::BadCharacter, static_cast<uint8_t>(text[i]));
      if (i - start != 2) return Fail(ImageErrorKind::BadByte);
      if (++count > kBytesPerLine) return Fail(ImageErrorKind::LineTooLong);
      const ImageError error = AddByte(HexValue(text[start]) * 16 + HexValue(text[start + 1]));
      if (error.Kind != ImageErrorKind::None) return error;
    }
    if (count > 0 && open_ && ++lineCount_ == kLinesPerBlock) {
      const RawBlock& block = blocks_.back();
      next_ = {block.End(), false, block.End() >= kVectorSegment && block.address < kHighStart, 0};
      CloseBlock(Close::ByLineCount);
      continuationDue_ = true;
    }
    return {};
  }

  // Blocks are opened by their first byte, so an address line without data leaves no empty
  // block (and no FirstHigh or vector count) behind.
  ImageError AddByte(int value) {
    if (!open_) {
      if (!haveAddress_) return Fail(ImageErrorKind::DataBeforeAddress);
      if (!next_.byAddressLine) next_.line = line_;
      const ImageError error = OpenBlock(next_);
      if (error.Kind != ImageErrorKind::None) return error;
    } else if (rules_.splitAtHigh && blocks_.back().End() == kHighStart) {
      CloseBlock(Close::BySplit);
      const ImageError error = OpenBlock({kHighStart, false, false, line_});
      if (error.Kind != ImageErrorKind::None) return error;
    }
    RawBlock& block = blocks_.back();
    if (block.End() >= rules_.addressLimit)
      return Fail(ImageErrorKind::AddressOutOfRange, 0, rules_.addressLimit);
    // 15 lines of at most 16 bytes always fit; the check keeps the array safe regardless.
    if (block.count >= block.data.size()) return Fail(ImageErrorKind::LineTooLong);
    block.data[block.count++] = static_cast<uint8_t>(value);
    block.lastLine = line_;
    return {};
  }

  // Where the next block starts and what opens it: an address line, or the 15-line rule.
  struct NextBlock {
    uint32_t address = 0;
    bool byAddressLine = false;
    bool continuesVector = false;
    int32_t line = 0;
  };

  ImageError OpenBlock(const NextBlock& next) {
    if (blocks_.size() >= rules_.maxBlocks)
      return Fail(ImageErrorKind::TooManyBlocks, 0, static_cast<uint32_t>(rules_.maxBlocks));
    RawBlock& block = blocks_.emplace_back();
    block.address = next.address;
    block.byAddressLine = next.byAddressLine;
    block.continuesVector = next.continuesVector;
    block.firstLine = next.line;
    open_ = true;
    lineCount_ = 0;
    continuationDue_ = false;
    next_ = {};
    return {};
  }

  void CloseBlock(Close how) {
    const bool sectionEnd = how == Close::ByAddressLine || how == Close::ByEnd;
    // A block closed after its 15th line also ends its section when nothing continues it.
    if (sectionEnd && (open_ || continuationDue_)) blocks_.back().sectionEnd = true;
    continuationDue_ = false;
    if (!open_) return;
    blocks_.back().close = how;
    open_ = false;
  }

  const ReaderRules rules_;
  std::vector<RawBlock>& blocks_;
  int32_t line_ = 0;
  bool open_ = false;
  int lineCount_ = 0;
  bool haveAddress_ = false;
  bool continuationDue_ = false;
  NextBlock next_;
};

ImageError BlockError(ImageErrorKind kind, int32_t line, uint32_t limit = 0) {
  return ImageError{kind, line, 0, limit, {}};
}

// The classic boot loader takes whole words: a section closed by an address line or by the end
// of the text gets one 0xFF; an odd count inside a section cannot be padded without shifting the
// bytes behind it. Blocks above 0xFFFF must not be followed by low ones (they would be written
// 0x10000 too high).
ImageError CheckClassic(std::vector<RawBlock>& blocks) {
  bool seenHigh = false;
  for (RawBlock& block : blocks) {
    const bool high = block.address >= kHighStart;
    if (!high && seenHigh) return BlockError(ImageErrorKind::OutOfOrder, block.firstLine);
    seenHigh = seenHigh || high;
    if (block.count % 2 == 0) continue;
    const uint32_t halfEnd = high ? 2 * kHighStart : kHighStart;
    if (!block.sectionEnd || block.End() + 1 > halfEnd)
      return BlockError(ImageErrorKind::OddBlock, block.lastLine);
    block.data[block.count++] = 0xFF;
  }
  return {};
}

// Only sections closed by an address line are padded here; the F5xx boot loader takes odd
// counts.
ImageError PadF5xx(std::vector<RawBlock>& blocks, uint32_t addressLimit) {
  for (RawBlock& block : blocks) {
    if (block.count % 2 == 0 || block.close != Close::ByAddressLine) continue;
    if (block.End() + 1 > addressLimit)
      return BlockError(ImageErrorKind::AddressOutOfRange, block.lastLine, addressLimit);
    block.data[block.count++] = 0xFF;
  }
  return {};
}

void StoreClassic(const RawBlock& raw, ImageBlock& block) {
  block.Address = static_cast<uint16_t>(raw.address & 0xFFFF);
  block.Length = static_cast<uint16_t>(4 + raw.count);
  std::copy_n(raw.data.begin(), raw.count, block.Data.begin());
}

void Store54(const RawBlock& raw, ImageBlock54& block) {
  block.Address = raw.address;
  block.Length = static_cast<uint16_t>(6 + raw.count);
  std::copy_n(raw.data.begin(), raw.count, block.Data.begin());
}

}  // namespace

ImageReadResult ReadImage(std::string_view text, std::span<ImageBlock> table) {
  std::fill(table.begin(), table.end(), ImageBlock{});
  ImageReadResult result;
  std::vector<RawBlock> raw;
  TextParser parser({2 * kHighStart, true, table.size()}, raw);
  result.Error = parser.Parse(text);
  if (result.Ok()) result.Error = CheckClassic(raw);
  if (!result.Ok()) return result;

  const auto high = std::find_if(raw.begin(), raw.end(),
                                 [](const RawBlock& b) { return b.address >= kHighStart; });
  const int32_t firstHigh = high == raw.end() ? -1 : static_cast<int32_t>(high - raw.begin());

  // The low blocks that reach the vector segment go behind all others, wherever the file has
  // them, so that segment is erased and written last and the last block holds the start word.
  // With high blocks the table reads: other low blocks, high blocks, the empty marker, the moved
  // blocks.
  std::vector<const RawBlock*> order;
  std::vector<const RawBlock*> moved;
  for (int32_t i = 0; i < static_cast<int32_t>(raw.size()); ++i) {
    const bool low = firstHigh < 0 || i < firstHigh;
    (low && raw[i].End() >= kVectorSegment ? moved : order).push_back(&raw[i]);
  }
  const bool marker = firstHigh > 0;
  const size_t total = order.size() + (marker ? 1 : 0) + moved.size();
  if (total > table.size())
    return {-1, -1,
            BlockError(ImageErrorKind::TooManyBlocks, raw.back().lastLine,
                       static_cast<uint32_t>(table.size()))};

  size_t slot = 0;
  for (const RawBlock* block : order) StoreClassic(*block, table[slot++]);
  if (marker) ++slot;  // the table is cleared, so the slot already reads address 0, length 0
  for (const RawBlock* block : moved) StoreClassic(*block, table[slot++]);
  result.FirstHigh = firstHigh > 0 ? firstHigh - static_cast<int32_t>(moved.size()) : firstHigh;
  result.LastBlock = static_cast<int32_t>(slot) - 1;
  return result;
}

Image54ReadResult ReadImage54(std::string_view text, std::span<ImageBlock54> table) {
  std::fill(table.begin(), table.end(), ImageBlock54{});
  Image54ReadResult result;
  std::vector<RawBlock> raw;
  TextParser parser({kAddressLimit, false, table.size()}, raw);
  result.Error = parser.Parse(text);
  if (result.Ok()) result.Error = PadF5xx(raw, kAddressLimit);
  if (!result.Ok()) return result;

  // Vector blocks: opened by an address line in the vector segment, or continuing a 15-line
  // block that reached it. A continuation is counted only once it holds data, so the count never
  // covers a block that does not exist or one that is not a vector block. They go behind all
  // others in their order, wherever the file has them, so the vector segment is written last.
  const auto isVector = [](const RawBlock& block) {
    const bool opened =
        block.byAddressLine && block.address >= kVectorSegment && block.address < kHighStart;
    return opened || block.continuesVector;
  };
  std::vector<const RawBlock*> order;
  std::vector<const RawBlock*> moved;
  for (int32_t i = 0; i < static_cast<int32_t>(raw.size()); ++i) {
    const bool vector = isVector(raw[i]);
    (vector ? moved : order).push_back(&raw[i]);
    if (!vector) continue;
    if (result.VectorFirst < 0) result.VectorFirst = i;
    ++result.VectorCount;
  }
  order.insert(order.end(), moved.begin(), moved.end());
  for (size_t i = 0; i < order.size(); ++i) Store54(*order[i], table[i]);
  result.LastBlock = static_cast<int32_t>(order.size()) - 1;
  return result;
}

}  // namespace msp430
