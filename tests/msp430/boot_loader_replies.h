// What scripted boot loaders send, built by the tests themselves from the protocol (not with the
// loaders' frame code): classic reply frames and F5xx response frames, and boot loaders that take
// every frame and keep what is written, so that a whole run can end with its read-back right.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

#include "tests/msp430/script_port.h"

namespace msp430_test {

// Classic reply frame: 80 00 L L data, then the inverted XOR of the words.
inline Chunk ReplyFrame(const std::vector<uint8_t>& data, bool spoilChecksum = false) {
  Chunk frame(4 + data.size());
  frame[0] = 0x80;
  frame[2] = frame[3] = static_cast<uint8_t>(data.size());
  std::copy(data.begin(), data.end(), frame.begin() + 4);
  uint8_t low = 0, high = 0;
  for (size_t i = 0; i < frame.size(); ++i) (i % 2 ? high : low) ^= frame[i];
  frame.push_back(static_cast<uint8_t>(~low ^ (spoilChecksum ? 1 : 0)));
  frame.push_back(static_cast<uint8_t>(~high));
  return frame;
}

// The 16 bytes of the classic version answer: chip identifier first, version 1.60 (the speed
// change follows the password) at the 11th and 12th.
inline Chunk VersionReply(uint8_t chipHigh, uint8_t chipLow, bool spoil = false) {
  std::vector<uint8_t> data(16, 0x00);
  data[0] = chipHigh;
  data[1] = chipLow;
  data[10] = 0x01;
  data[11] = 0x60;
  return ReplyFrame(data, spoil);
}

// F5xx response frame: 80 NL NH core, CRC-16-CCITT of the core, low byte first.
inline Chunk Response(const std::vector<uint8_t>& core, bool spoilCrc = false) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : core) {
    crc ^= static_cast<uint16_t>(b << 8);
    for (int bit = 0; bit < 8; ++bit)
      crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  if (spoilCrc) crc ^= 0x0100;
  Chunk frame(3 + core.size() + 2);
  frame[0] = 0x80;
  frame[1] = static_cast<uint8_t>(core.size());
  std::copy(core.begin(), core.end(), frame.begin() + 3);
  frame[3 + core.size()] = static_cast<uint8_t>(crc);
  frame[4 + core.size()] = static_cast<uint8_t>(crc >> 8);
  return frame;
}

// The F5xx acknowledgement 0x00 in front of a response frame.
inline Chunk AckThen(const Chunk& frame) {
  Chunk bytes(1 + frame.size(), 0x00);
  std::copy(frame.begin(), frame.end(), bytes.begin() + 1);
  return bytes;
}

// Memory behind a scripted boot loader: what was written, 0xFF elsewhere.
struct ScriptMemory {
  std::map<uint32_t, uint8_t> bytes;

  void Write(uint32_t address, const uint8_t* data, size_t count) {
    for (size_t i = 0; i < count; ++i) bytes[address + static_cast<uint32_t>(i)] = data[i];
  }
  std::vector<uint8_t> Read(uint32_t address, size_t count) const {
    std::vector<uint8_t> data(count, 0xFF);
    for (size_t i = 0; i < count; ++i) {
      const auto found = bytes.find(address + static_cast<uint32_t>(i));
      if (found != bytes.end()) data[i] = found->second;
    }
    return data;
  }
};

// A classic boot loader 1.60 that takes every synchronisation character and frame: 80 CMD L L
// AL AH LL LH data CKL CKH.
struct WillingClassic {
  ScriptMemory memory;

  Chunk Answer(const std::vector<uint8_t>& w) {
    if (w.size() < 8) return {0x90};
    const uint32_t address = w[4] | w[5] << 8;
    switch (w[1]) {
      case 0x1E:
        return VersionReply(0xF1, 0x49);
      case 0x12:
        memory.Write(address, w.data() + 8, w.size() - 10);
        return {0x90};
      case 0x14:
        return ReplyFrame(memory.Read(address, w[6]));
      default:
        return {0x90};
    }
  }
};

// An F5xx boot loader that takes every frame: 80 NL NH CMD, for most commands A0 A1 A2, then
// data (the count of a read: two bytes), CKL CKH.
struct WillingF5xx {
  ScriptMemory memory;

  Chunk Answer(const std::vector<uint8_t>& w) {
    const uint32_t address = w.size() > 7 ? w[4] | w[5] << 8 | w[6] << 16 : 0;
    switch (w.at(3)) {
      case 0x19:
        return AckThen(Response({0x3A, 0x00, 0x01, 0x01, 0x01}));
      case 0x18: {
        std::vector<uint8_t> core = memory.Read(address, w[7] | w[8] << 8);
        core.insert(core.begin(), 0x3A);
        return AckThen(Response(core));
      }
      case 0x10:
        memory.Write(address, w.data() + 7, w.size() - 9);
        return AckThen(Response({0x3B, 0x00}));
      case 0x17:  // the jump to the program
      case 0x52:  // the speed change
        return {0x00};
      default:
        return AckThen(Response({0x3B, 0x00}));
    }
  }
};

}  // namespace msp430_test
