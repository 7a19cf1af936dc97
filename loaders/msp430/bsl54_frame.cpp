#include "loaders/msp430/bsl54_frame.h"

#include <algorithm>
#include <cstring>

namespace msp430 {
namespace {

uint8_t Byte(uint32_t value, int index) {
  return static_cast<uint8_t>((value >> (8 * index)) & 0xFF);
}

std::optional<Command54> WithAddress(Command54 command, uint32_t address) {
  if (address == 0 || address >= kAddressLimit) return std::nullopt;
  for (int i = 0; i < 3; ++i) command.Address[i] = Byte(address, i);
  return command;
}

std::optional<BslFrame54> Build(const std::optional<Command54>& command, uint16_t n) {
  if (!command) return std::nullopt;
  return BuildFrame54(*command, n);
}

}  // namespace

uint16_t Crc16Ccitt(std::span<const uint8_t> bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : bytes) {
    crc ^= static_cast<uint16_t>(b << 8);
    for (int bit = 0; bit < 8; ++bit)
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

std::optional<BslFrame54> BuildFrame54(const Command54& command, uint16_t n) {
  const bool hasAddress = command.Address != std::array<uint8_t, 3>{};
  const size_t available = 1 + (hasAddress ? command.Address.size() : 0) + command.Data.size();
  if (n == 0 || n > available) return std::nullopt;

  BslFrame54 frame;
  frame.Bytes[0] = BSL54_HEADER;
  frame.Bytes[1] = Byte(n, 0);
  frame.Bytes[2] = Byte(n, 1);
  frame.Bytes[3] = command.Command;
  auto out = frame.Bytes.begin() + 4;
  size_t remaining = n - 1u;
  if (hasAddress) {
    const size_t count = std::min(remaining, command.Address.size());
    out = std::copy_n(command.Address.begin(), count, out);
    remaining -= count;
  }
  std::copy_n(command.Data.begin(), remaining, out);
  const uint16_t crc = Crc16Ccitt({frame.Bytes.data() + 3, n});
  frame.Bytes[3 + n] = Byte(crc, 0);
  frame.Bytes[4 + n] = Byte(crc, 1);
  frame.Length = static_cast<uint16_t>(n + 5);
  return frame;
}

BslFrame54 PasswordFrame54(std::span<const int32_t, 16> passwordWords) {
  Command54 command = kRxPassword54;
  for (size_t i = 0; i < passwordWords.size(); ++i) {
    command.Data[2 * i] = Byte(static_cast<uint32_t>(passwordWords[i]), 0);
    command.Data[2 * i + 1] = Byte(static_cast<uint32_t>(passwordWords[i]), 1);
  }
  return *BuildFrame54(command, command.N);
}

std::optional<BslFrame54> DataBlockFrame54(const ImageBlock54& block) {
  if (block.Length < 6 || block.Length > 6 + kBlockDataSize) return std::nullopt;
  std::optional<Command54> command = WithAddress(kRxDataBlock54, block.Address);
  if (!command) return std::nullopt;
  const int count = DataCount(block);
  if (block.Address + static_cast<uint32_t>(count) > kAddressLimit) return std::nullopt;
  std::copy_n(block.Data.begin(), count, command->Data.begin());
  return Build(command, static_cast<uint16_t>(kRxDataBlock54.N + count));
}

std::optional<BslFrame54> EraseSegmentFrame54(uint32_t address) {
  return Build(WithAddress(kEraseSegment54, address), kEraseSegment54.N);
}

std::optional<BslFrame54> LoadPcFrame54(uint32_t address) {
  return Build(WithAddress(kLoadPc54, address), kLoadPc54.N);
}

std::optional<BslFrame54> ReadBlockFrame54(uint32_t address, uint16_t count) {
  std::optional<Command54> command = WithAddress(kTxDataBlock54, address);
  if (command) {
    command->Data[0] = Byte(count, 0);
    command->Data[1] = Byte(count, 1);
  }
  return Build(command, kTxDataBlock54.N);
}

BslFrame54 VersionFrame54() {
  return *BuildFrame54(kTxBslVersion54, kTxBslVersion54.N);
}

BslFrame54 BaudRateFrame54() {
  return *BuildFrame54(kChangeBaudRate54, kChangeBaudRate54.N);
}

Answer54 AnswerOf(const BslFrame54& frame) {
  const uint8_t command = frame.Bytes[3];
  if (command == kLoadPc54.Command || command == kChangeBaudRate54.Command) return Answer54::Ack;
  if (command == kTxDataBlock54.Command || command == kTxBslVersion54.Command) {
    return Answer54::Data;
  }
  return Answer54::Status;
}

std::vector<Reply54> Bsl54Receiver::Scan() {
  constexpr size_t kNone = SIZE_MAX;
  std::vector<Reply54> replies;
  for (;;) {
    size_t header = kNone, ack = kNone, failure = kNone;
    for (size_t i = 0; i < buffer_.Count(); ++i) {
      const uint8_t b = buffer_[i];
      if (b == BSL54_HEADER) {
        header = i;
        break;
      }
      if (b == BSL54_ACK) ack = i;
      if (b & BSL54_FAILURE_MASK) failure = i;
    }

    bool removed = false;
    if (ack != kNone) {
      buffer_.Remove(ack, 1);
      replies.push_back({Reply54Kind::Ack});
      removed = true;
      if (failure != kNone && failure > ack) --failure;
      if (header != kNone) --header;
    }
    if (failure != kNone) {
      const uint8_t b = buffer_[failure];
      buffer_.Remove(failure, 1);
      replies.push_back({Reply54Kind::Failure, b});
      removed = true;
      if (header != kNone) --header;
    }
    // Without a frame, earlier single bytes get their own pass; with one, they wait for the
    // next call.
    if (header == kNone) {
      if (removed && buffer_.Count() > 0) continue;
      break;
    }
    if (buffer_.Count() - header < 2) break;  // NL has not arrived yet
    const size_t size = buffer_[header + 1] + size_t{5};
    if (buffer_.Count() - header < size) break;
    TakeFrame(header, size, replies);
    break;
  }
  return replies;
}

void Bsl54Receiver::TakeFrame(size_t header, size_t size, std::vector<Reply54>& replies) {
  std::copy_n(buffer_.Data() + header, size, rxFrame_.begin());
  frameLength_ = size;
  buffer_.Remove(header, size);
  const size_t n = size - 5;
  const uint16_t crc = Crc16Ccitt({rxFrame_.data() + 3, n});
  if (rxFrame_[3 + n] != Byte(crc, 0) || rxFrame_[4 + n] != Byte(crc, 1)) {
    replies.push_back({Reply54Kind::BadCrc});
  } else if (n >= 1 && rxFrame_[3] == BSL54_DATA) {
    replies.push_back({Reply54Kind::Data});
  } else if (n >= 2 && rxFrame_[3] == BSL54_MESSAGE) {
    replies.push_back({Reply54Kind::Message, rxFrame_[4]});
  } else {
    replies.push_back({Reply54Kind::OtherFrame});
  }
}

std::span<const uint8_t> Bsl54Receiver::FrameData() const {
  if (frameLength_ < 6) return {};
  return {rxFrame_.data() + 4, frameLength_ - 6};
}

}  // namespace msp430
