// F5xx flash boot loader link: frames with a CRC-16-CCITT over the core command, the command
// templates the programming sequence fills, and the split of received bytes into
// acknowledgements, UART error bytes and response frames. Pure: the loader feeds bytes in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "loaders/msp430/image_reader.h"
#include "loaders/msp430/receive_buffer.h"

namespace msp430 {

inline constexpr uint8_t BSL54_HEADER = 0x80;
inline constexpr uint8_t BSL54_ACK = 0x00;
// UART error bytes 0x51..0x56 (header, checksum, size zero, buffer, unknown, baud rate).
inline constexpr uint8_t BSL54_FAILURE_MASK = 0x50;
inline constexpr uint8_t BSL54_DATA = 0x3A;
inline constexpr uint8_t BSL54_MESSAGE = 0x3B;
// Statuses of a 0x3B response that report the command as failed: the error is shown at once and
// the step is retried once its response time has run out.
inline constexpr std::array<uint8_t, 4> kBsl54FailedStatuses = {1, 2, 3, 5};

// One constant per command, copied and filled by the step that sends it. An address of 0 means
// "no address": the data follow the command byte directly.
struct Command54 {
  uint8_t Command = 0;
  std::array<uint8_t, 3> Address{};  // low, middle, high
  std::array<uint8_t, 255> Data{};
  uint8_t N = 0;  // length of the core command
};
static_assert(sizeof(Command54) == 260);

inline constexpr Command54 kRxDataBlock54{0x10, {}, {}, 4};  // N grows by the data count
inline constexpr Command54 kRxPassword54{0x11, {}, {}, 33};
inline constexpr Command54 kEraseSegment54{0x12, {}, {}, 4};
inline constexpr Command54 kLoadPc54{0x17, {}, {}, 4};
inline constexpr Command54 kTxDataBlock54{0x18, {}, {}, 6};
inline constexpr Command54 kTxBslVersion54{0x19, {}, {}, 1};
inline constexpr Command54 kChangeBaudRate54{0x52, {}, {0x04}, 2};  // 0x04: 38400 baud

// 0x80, NL, NH, the N core bytes, CKL, CKH: at most 259 + 5 bytes.
inline constexpr size_t kBsl54FrameSize = 264;

struct BslFrame54 {
  std::array<uint8_t, kBsl54FrameSize> Bytes{};
  uint16_t Length = 0;

  std::span<const uint8_t> View() const { return {Bytes.data(), Length}; }
};

// Polynomial 0x1021, initial value 0xFFFF, no reflection, no final XOR.
uint16_t Crc16Ccitt(std::span<const uint8_t> bytes);

// The command byte, then N - 1 bytes of the template from its address (or, when the address is
// 0, from its data). Empty when N is 0 or reaches past the template.
std::optional<BslFrame54> BuildFrame54(const Command54& command, uint16_t n);

// The frames of the programming sequence. Those with an address are empty for an address of 0
// or above 0xFFFFFF, which the frame cannot carry.
BslFrame54 PasswordFrame54(std::span<const int32_t, 16> passwordWords);
std::optional<BslFrame54> DataBlockFrame54(const ImageBlock54& block);
std::optional<BslFrame54> EraseSegmentFrame54(uint32_t address);
std::optional<BslFrame54> LoadPcFrame54(uint32_t address);
std::optional<BslFrame54> ReadBlockFrame54(uint32_t address, uint16_t count);
BslFrame54 VersionFrame54();
BslFrame54 BaudRateFrame54();

// How the boot loader answers a frame: the acknowledgement byte, then a data response (data
// block and version reads) or a status response (every other command); the speed change and the
// jump to the program get the acknowledgement alone. A UART error byte can take the place of the
// acknowledgement in each case.
enum class Answer54 { Ack, Status, Data };
Answer54 AnswerOf(const BslFrame54& frame);

enum class Reply54Kind {
  Ack,         // 0x00 in front of any frame
  Failure,     // a byte with bit 4 or 6 set in front of any frame; Value = the byte
  Data,        // response frame 0x3A; its data in FrameData()
  Message,     // response frame 0x3B; Value = the status (0 success)
  OtherFrame,  // a correct frame of another kind
  BadCrc,      // a complete frame with a wrong CRC: dropped, so it cannot block what follows
};

struct Reply54 {
  Reply54Kind Kind;
  uint8_t Value = 0;

  bool operator==(const Reply54&) const = default;
};

class Bsl54Receiver {
 public:
  static constexpr size_t kBufferSize = ReceiveBuffer::kSize;

  size_t FreeSpace() const { return buffer_.FreeSpace(); }
  size_t Append(std::span<const uint8_t> bytes) { return buffer_.Append(bytes); }
  // Throws away everything held.
  void Clear() { buffer_.Clear(); }
  // Everything this call can take out of the buffer, in the order the loader acts on it; a
  // frame, when complete, is the last entry. An incomplete frame waits for more bytes.
  std::vector<Reply54> Scan();
  // The bytes still missing from a frame that has begun (0 when none has).
  size_t Missing() const { return buffer_.FrameRemainder(BSL54_HEADER, 1, 5); }

  uint16_t RxCount() const { return static_cast<uint16_t>(buffer_.Count()); }
  std::span<const uint8_t> Pending() const { return buffer_.Pending(); }
  // The frame taken by the last scan that found one (N + 5 bytes), and the bytes of its core
  // after the first (the data of a 0x3A response).
  std::span<const uint8_t> RxFrame() const { return {rxFrame_.data(), frameLength_}; }
  std::span<const uint8_t> FrameData() const;

 private:
  void TakeFrame(size_t header, size_t size, std::vector<Reply54>& replies);

  ReceiveBuffer buffer_;
  std::array<uint8_t, kBsl54FrameSize> rxFrame_{};
  size_t frameLength_ = 0;
};

}  // namespace msp430
