#include "loaders/msp430/receive_buffer.h"

#include <algorithm>
#include <cstring>

namespace msp430 {

bool HoldsPromptLine(std::span<const uint8_t> bytes) {
  const auto prompt = std::find(bytes.begin(), bytes.end(), '!');
  return std::any_of(prompt, bytes.end(), [](uint8_t b) { return b == '\r' || b == '\n'; });
}

size_t ReceiveBuffer::Append(std::span<const uint8_t> bytes) {
  const size_t taken = std::min(bytes.size(), FreeSpace());
  std::copy_n(bytes.begin(), taken, bytes_.begin() + count_);
  count_ = static_cast<uint16_t>(count_ + taken);
  return taken;
}

void ReceiveBuffer::Remove(size_t position, size_t count) {
  std::memmove(bytes_.data() + position, bytes_.data() + position + count,
               count_ - position - count);
  count_ = static_cast<uint16_t>(count_ - count);
}

size_t ReceiveBuffer::FrameRemainder(uint8_t start, size_t lengthAt, size_t overhead) const {
  const uint8_t* end = bytes_.data() + count_;
  const uint8_t* header = std::find(bytes_.data(), end, start);
  const size_t have = static_cast<size_t>(end - header);
  if (have == 0) return 0;
  if (have <= lengthAt) return lengthAt + 1 - have;
  const size_t size = header[lengthAt] + overhead;
  return have < size ? size - have : 0;
}

}  // namespace msp430
