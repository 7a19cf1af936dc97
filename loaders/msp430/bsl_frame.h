// Classic MSP430 ROM boot loader link: frames with the XOR checksum, the commands the
// programming sequence sends, and the split of received bytes into acknowledgements, rejections
// and reply frames. No port and no timer here: the loader feeds bytes in and acts on the result.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "loaders/msp430/image_reader.h"
#include "loaders/msp430/receive_buffer.h"

namespace msp430 {

inline constexpr uint8_t BSL_SYNC = 0x80;
inline constexpr uint8_t BSL_ACK = 0x90;
inline constexpr uint8_t BSL_NAK = 0xA0;
inline constexpr uint8_t BSL_NAK2 = 0x70;
// Sent in every field the protocol leaves free.
inline constexpr uint8_t BSL_DONT_CARE = 'X';

inline constexpr uint8_t BSL_RX_PASSWORD = 0x10;
inline constexpr uint8_t BSL_RX_DATA_BLOCK = 0x12;
inline constexpr uint8_t BSL_TX_DATA_BLOCK = 0x14;
inline constexpr uint8_t BSL_ERASE_SEGMENT = 0x16;
inline constexpr uint8_t BSL_LOAD_PC = 0x1A;
inline constexpr uint8_t BSL_TX_VERSION = 0x1E;
inline constexpr uint8_t BSL_CHANGE_BAUD_RATE = 0x20;
inline constexpr uint8_t BSL_SET_MEM_OFFSET = 0x21;

// Frame: 0x80, command, L, L, L data bytes, CKL, CKH. L is one byte; the loader sends even L
// only, so a sent frame is at most 254 + 6 = 260 bytes.
inline constexpr size_t kBslFrameSize = 260;
inline constexpr size_t kBslMaxSendData = 254;
// A received L may be 255: the reply copy holds that too.
inline constexpr size_t kBslMaxReplySize = 255 + 6;

struct BslFrame {
  std::array<uint8_t, kBslFrameSize> Bytes{};
  uint16_t Length = 0;

  std::span<const uint8_t> View() const { return {Bytes.data(), Length}; }
};

// XOR of the little-endian 16-bit words, inverted. An odd last byte is the low byte of a word
// whose high byte is 0.
uint16_t BslChecksum(std::span<const uint8_t> bytes);

// Empty when the data are longer than 254 bytes or odd in count (the checksum runs over words).
std::optional<BslFrame> BuildFrame(uint8_t command, std::span<const uint8_t> data);

// The frames of the programming sequence.
BslFrame PasswordFrame(uint16_t passwordWord);  // 30 x 0xFF, then the reset vector
std::optional<BslFrame> DataBlockFrame(const ImageBlock& block);  // empty for a bad length
BslFrame ReadBlockFrame(uint16_t address, uint8_t count);
BslFrame EraseSegmentFrame(uint16_t address);
BslFrame LoadPcFrame(uint16_t address);
BslFrame VersionFrame();
BslFrame BaudRateFrame(int32_t chipId);  // 38400 baud; the clock settings depend on the chip
BslFrame MemOffsetFrame(uint8_t offset);

// How the boot loader answers a frame: the data block and version reads with a reply frame,
// every other command with one byte (acknowledgement or rejection). A synchronisation character
// gets one byte as well.
enum class BslAnswer { Byte, Frame };
BslAnswer AnswerOf(const BslFrame& frame);

// What one scan of the received bytes found, in the order the loader acts on it.
struct BslScan {
  bool Frame = false;     // a reply frame with a correct checksum, now in RxFrame()
  bool BadFrame = false;  // a complete frame with a wrong checksum, dropped
  bool Ack = false;
  bool Nak = false;  // BSL_NAK or BSL_NAK2

  bool operator==(const BslScan&) const = default;
};

// The received bytes of the classic link and how they are split into answers: only bytes in front
// of the first 0x80 count as acknowledgements or rejections, so frame contents are never taken
// for them, and of those only the first one found by a scan.
class BslReceiver {
 public:
  static constexpr size_t kBufferSize = ReceiveBuffer::kSize;

  size_t FreeSpace() const { return buffer_.FreeSpace(); }
  // Takes at most FreeSpace() bytes and returns how many it took.
  size_t Append(std::span<const uint8_t> bytes) { return buffer_.Append(bytes); }
  // Throws away everything held (a response time-out, a new frame).
  void Clear() { buffer_.Clear(); }
  BslScan Scan();
  // The bytes still missing from a reply frame that has begun (0 when none has).
  size_t Missing() const { return buffer_.FrameRemainder(BSL_SYNC, 2, 6); }

  uint16_t RxCount() const { return static_cast<uint16_t>(buffer_.Count()); }
  std::span<const uint8_t> Pending() const { return buffer_.Pending(); }
  // The frame taken by the last scan that found one: L + 6 bytes, and its L data bytes.
  std::span<const uint8_t> RxFrame() const { return {rxFrame_.data(), frameLength_}; }
  std::span<const uint8_t> FrameData() const;

 private:
  ReceiveBuffer buffer_;
  std::array<uint8_t, kBslMaxReplySize> rxFrame_{};
  size_t frameLength_ = 0;
};

}  // namespace msp430
