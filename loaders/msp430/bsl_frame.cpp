#include "loaders/msp430/bsl_frame.h"

#include <algorithm>
#include <cstring>

#include "loaders/msp430/chip_table.h"

namespace msp430 {
namespace {

constexpr uint8_t X = BSL_DONT_CARE;

uint8_t Low(uint32_t value) {
  return static_cast<uint8_t>(value & 0xFF);
}
uint8_t High(uint32_t value) {
  return static_cast<uint8_t>((value >> 8) & 0xFF);
}

// Frames whose data are fixed in size always fit.
BslFrame Fixed(uint8_t command, std::span<const uint8_t> data) {
  return *BuildFrame(command, data);
}

}  // namespace

uint16_t BslChecksum(std::span<const uint8_t> bytes) {
  uint16_t sum = 0;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    const uint16_t high = i + 1 < bytes.size() ? bytes[i + 1] : 0;
    sum ^= static_cast<uint16_t>(bytes[i] | (high << 8));
  }
  return static_cast<uint16_t>(~sum);
}

std::optional<BslFrame> BuildFrame(uint8_t command, std::span<const uint8_t> data) {
  if (data.size() > kBslMaxSendData || data.size() % 2 != 0) return std::nullopt;
  BslFrame frame;
  const uint8_t length = static_cast<uint8_t>(data.size());
  frame.Bytes[0] = BSL_SYNC;
  frame.Bytes[1] = command;
  frame.Bytes[2] = length;
  frame.Bytes[3] = length;
  std::copy(data.begin(), data.end(), frame.Bytes.begin() + 4);
  const uint16_t checksum = BslChecksum({frame.Bytes.data(), data.size() + 4});
  frame.Bytes[4 + data.size()] = Low(checksum);
  frame.Bytes[5 + data.size()] = High(checksum);
  frame.Length = static_cast<uint16_t>(data.size() + 6);
  return frame;
}

BslFrame PasswordFrame(uint16_t passwordWord) {
  std::array<uint8_t, 36> data;
  data.fill(0xFF);
  data[34] = Low(passwordWord);
  data[35] = High(passwordWord);
  return Fixed(BSL_RX_PASSWORD, data);
}

std::optional<BslFrame> DataBlockFrame(const ImageBlock& block) {
  if (block.Length < 4 || block.Length > 4 + kBlockDataSize) return std::nullopt;
  const int count = DataCount(block);
  std::array<uint8_t, 4 + kBlockDataSize> data;
  data[0] = Low(block.Address);
  data[1] = High(block.Address);
  data[2] = Low(count);
  data[3] = High(count);
  std::copy_n(block.Data.begin(), count, data.begin() + 4);
  return BuildFrame(BSL_RX_DATA_BLOCK, {data.data(), static_cast<size_t>(4 + count)});
}

BslFrame ReadBlockFrame(uint16_t address, uint8_t count) {
  const uint8_t data[] = {Low(address), High(address), count, 0x00};
  return Fixed(BSL_TX_DATA_BLOCK, data);
}

BslFrame EraseSegmentFrame(uint16_t address) {
  const uint8_t data[] = {Low(address), High(address), 0x02, 0xA5};
  return Fixed(BSL_ERASE_SEGMENT, data);
}

BslFrame LoadPcFrame(uint16_t address) {
  const uint8_t data[] = {Low(address), High(address), X, X};
  return Fixed(BSL_LOAD_PC, data);
}

BslFrame VersionFrame() {
  const uint8_t data[] = {X, X, X, X};
  return Fixed(BSL_TX_VERSION, data);
}

BslFrame BaudRateFrame(int32_t chipId) {
  const bool f2xxClock = InTable(kF2xxClockChips, chipId);
  const uint8_t data[] = {static_cast<uint8_t>(f2xxClock ? 0x80 : 0x00),
                          static_cast<uint8_t>(f2xxClock ? 0x8C : 0xC8), 0x02, X};
  return Fixed(BSL_CHANGE_BAUD_RATE, data);
}

BslFrame MemOffsetFrame(uint8_t offset) {
  const uint8_t data[] = {0x00, 0x00, offset, X};
  return Fixed(BSL_SET_MEM_OFFSET, data);
}

BslAnswer AnswerOf(const BslFrame& frame) {
  const uint8_t command = frame.Bytes[1];
  return command == BSL_TX_DATA_BLOCK || command == BSL_TX_VERSION ? BslAnswer::Frame
                                                                   : BslAnswer::Byte;
}

BslScan BslReceiver::Scan() {
  constexpr size_t kNone = SIZE_MAX;
  size_t header = kNone, answer = kNone;
  for (size_t i = 0; i < buffer_.Count(); ++i) {
    const uint8_t b = buffer_[i];
    if (b == BSL_SYNC) {
      header = i;
      break;
    }
    if (answer == kNone && (b == BSL_ACK || b == BSL_NAK || b == BSL_NAK2)) answer = i;
  }

  BslScan scan;
  // L is read only once it has arrived; the frame is taken only when it is complete.
  if (header != kNone && buffer_.Count() - header >= 3) {
    const size_t size = buffer_[header + 2] + size_t{6};
    if (buffer_.Count() - header >= size) {
      std::copy_n(buffer_.Data() + header, size, rxFrame_.begin());
      frameLength_ = size;
      buffer_.Remove(header, size);
      const uint16_t checksum = BslChecksum({rxFrame_.data(), size - 2});
      const bool valid =
          rxFrame_[size - 2] == Low(checksum) && rxFrame_[size - 1] == High(checksum);
      (valid ? scan.Frame : scan.BadFrame) = true;
    }
  }
  // The first answer byte answers the command; what follows it in the same read came after the
  // answer and answers nothing (the boot loader answers each command once).
  if (answer != kNone) {
    (buffer_[answer] == BSL_ACK ? scan.Ack : scan.Nak) = true;
    const size_t end = std::min(header, buffer_.Count());  // the frame, if any, is gone now
    for (size_t i = end - 1; i > answer; --i) {
      const uint8_t b = buffer_[i];
      if (b == BSL_ACK || b == BSL_NAK || b == BSL_NAK2) buffer_.Remove(i, 1);
    }
    buffer_.Remove(answer, 1);
  }
  return scan;
}

std::span<const uint8_t> BslReceiver::FrameData() const {
  if (frameLength_ < 6) return {};
  return {rxFrame_.data() + 4, frameLength_ - 6};
}

}  // namespace msp430
