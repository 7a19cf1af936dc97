// The bytes a boot loader has sent and the loader has not taken yet. Both links keep one; the
// port's read appends a NUL behind what it returns, so one byte always stays free.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace msp430 {

// The bytes hold a whole line of the instrument's command dialogue with its prompt ("!"), ended
// by CR or LF: what the new firmware sends first once it runs.
bool HoldsPromptLine(std::span<const uint8_t> bytes);

class ReceiveBuffer {
 public:
  static constexpr size_t kSize = 1000;

  size_t FreeSpace() const { return kSize - 1 - count_; }
  // Takes at most FreeSpace() bytes and returns how many it took.
  size_t Append(std::span<const uint8_t> bytes);
  // Takes count bytes out at position; what follows moves up.
  void Remove(size_t position, size_t count);
  void Clear() { count_ = 0; }
  // The bytes still to come before the frame that begins at the first start byte is whole: the
  // frame holds its data length at lengthAt and overhead bytes besides the data. Until the
  // length has come, what is needed to read it. 0 without a frame start or with a whole frame.
  size_t FrameRemainder(uint8_t start, size_t lengthAt, size_t overhead) const;

  size_t Count() const { return count_; }
  uint8_t operator[](size_t i) const { return bytes_[i]; }
  const uint8_t* Data() const { return bytes_.data(); }
  std::span<const uint8_t> Pending() const { return {bytes_.data(), count_}; }

 private:
  std::array<uint8_t, kSize> bytes_{};
  uint16_t count_ = 0;  // never above kSize - 1
};

}  // namespace msp430
