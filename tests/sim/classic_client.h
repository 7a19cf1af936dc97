// A test-side host of the classic MSP430 boot-loader protocol: synchronisation, frames with the
// XOR checksum, the commands. Small and independent of the updater's loader and the simulator.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/sim/transport.h"

namespace simtest {

class ClassicClient {
 public:
  static constexpr int kAck = 0x90, kNak = 0xA0, kFrame = 0x80, kNone = -1, kBadFrame = -2;

  explicit ClassicClient(Transport& line, int timeoutMs = 1000)
      : line_(line), timeoutMs_(timeoutMs) {}

  // Word-wise: XOR of the little-endian words of the frame so far, inverted.
  static uint16_t Checksum(const std::vector<uint8_t>& frame);
  static std::vector<uint8_t> Frame(uint8_t command, uint16_t address, uint8_t ll, uint8_t lh,
                                    const std::vector<uint8_t>& payload);

  int Sync();
  // Sync, then the frame; the answer byte, kFrame with the reply's data in reply, or kNone.
  int Command(uint8_t command, uint16_t address, uint8_t ll, uint8_t lh,
              const std::vector<uint8_t>& payload = {}, std::vector<uint8_t>* reply = nullptr);
  int Answer(std::vector<uint8_t>* reply);

  int Password(const std::vector<uint8_t>& vectors) {
    return Command(0x10, 0xFFFF, 0xFF, 0xFF, vectors);
  }
  int Write(uint16_t address, const std::vector<uint8_t>& data) {
    return Command(0x12, address, static_cast<uint8_t>(data.size()),
                   static_cast<uint8_t>(data.size() >> 8), data);
  }
  int Read(uint16_t address, uint8_t count, std::vector<uint8_t>& data) {
    return Command(0x14, address, count, 0, {}, &data);
  }
  int Erase(uint16_t address) { return Command(0x16, address, 0x02, 0xA5); }
  int MassErase() { return Command(0x18, 0xFFFF, 0x06, 0xA5); }
  int LoadPc(uint16_t address) { return Command(0x1A, address, 'X', 'X'); }
  int Version(std::vector<uint8_t>& data) { return Command(0x1E, 0x5858, 'X', 'X', {}, &data); }
  int ChangeBaud(uint8_t d1, uint8_t d2, uint8_t d3) {
    return Command(0x20, static_cast<uint16_t>(d1 | d2 << 8), d3, 'X');
  }
  int Offset(uint8_t offset) { return Command(0x21, 0, offset, 'X'); }

 private:
  Transport& line_;
  int timeoutMs_;
};

// The 32 password bytes of a vector table that is all 0xFF but the reset vector.
std::vector<uint8_t> VectorsWithReset(uint16_t resetVector);

}  // namespace simtest
