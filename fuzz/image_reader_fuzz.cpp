// Both firmware image readers on any text: a table that is read holds only blocks the loaders
// can send, in the order they need, and a refused text leaves nothing behind.
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz/support.h"
#include "loaders/msp430/image_reader.h"

namespace {

// The segment that holds the interrupt vectors and the start word.
bool InVectorSegment(uint32_t address) {
  return address >= 0xFE00 && address < 0x10000;
}

void CheckClassic(std::string_view text) {
  static std::vector<msp430::ImageBlock> table(msp430::kImageBlocks);
  const msp430::ImageReadResult result = msp430::ReadImage(text, table);
  if (!result.Ok()) {
    if (result.LastBlock != -1) fuzz::Fail();
    return;
  }
  if (result.LastBlock < 0 || result.LastBlock >= static_cast<int32_t>(table.size())) fuzz::Fail();
  for (int32_t i = 0; i <= result.LastBlock; ++i) {
    const msp430::ImageBlock& block = table[static_cast<size_t>(i)];
    if (msp430::IsMarker(block)) continue;
    const int count = msp430::DataCount(block);
    if (count <= 0 || count > static_cast<int>(msp430::kBlockDataSize)) fuzz::Fail();
    // The boot loader takes whole words.
    if (count % 2 != 0) fuzz::Fail();
  }
}

void CheckF5xx(std::string_view text) {
  static std::vector<msp430::ImageBlock54> table(msp430::kImageBlocks);
  const msp430::Image54ReadResult result = msp430::ReadImage54(text, table);
  if (!result.Ok()) return;
  if (result.LastBlock < 0 || result.LastBlock >= static_cast<int32_t>(table.size())) fuzz::Fail();
  for (int32_t i = 0; i <= result.LastBlock; ++i) {
    const msp430::ImageBlock54& block = table[static_cast<size_t>(i)];
    const int count = msp430::DataCount(block);
    if (count <= 0 || count > static_cast<int>(msp430::kBlockDataSize)) fuzz::Fail();
    if (block.Address + static_cast<uint32_t>(count) > 0x1000000) fuzz::Fail();
  }
  // The vector blocks come last, so the start word is written once all else is in place. (A
  // data run that goes on past 0xFFFF takes its continuation along.)
  const int32_t firstVector = result.LastBlock - result.VectorCount + 1;
  for (int32_t i = 0; i <= result.LastBlock; ++i) {
    const bool vector = InVectorSegment(table[static_cast<size_t>(i)].Address);
    if (vector && i < firstVector) fuzz::Fail();
    if (i == firstVector && !vector) fuzz::Fail();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckClassic(text);
  CheckF5xx(text);
  return 0;
}
