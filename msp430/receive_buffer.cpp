#include "msp430/receive_buffer.h"

#include <algorithm>
#include <cstring>

namespace msp430 {

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

}  // namespace msp430
