// A test-side host of the F5xx boot-loader UART protocol: frames with their CRC, the answer
// byte and the response. Small and independent of the updater's loader and the simulator.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/sim/transport.h"

namespace simtest {

class F5xxClient {
 public:
  struct Answer {
    int ack = -1;  // the first byte; -1 none
    int kind = 0;  // 0x3A data, 0x3B status; 0 no response, -2 response with a wrong CRC
    std::vector<uint8_t> data;  // after 0x3A, or the status byte
    int Status() const { return kind == 0x3B && !data.empty() ? data[0] : -1; }
  };

  explicit F5xxClient(Transport& line, int timeoutMs = 1000) : line_(line), timeoutMs_(timeoutMs) {}

  // Bit by bit, most significant first: polynomial 0x1021, start 0xFFFF.
  static uint16_t Crc(const std::vector<uint8_t>& core);
  static std::vector<uint8_t> Frame(const std::vector<uint8_t>& core);

  Answer Send(const std::vector<uint8_t>& core, bool response = true);
  Answer ReadAnswer(bool response);

  Answer Password(const std::vector<uint8_t>& bytes);
  Answer Write(uint32_t address, const std::vector<uint8_t>& data);
  Answer Read(uint32_t address, uint16_t count);
  Answer Erase(uint32_t address) { return Send(WithAddress(0x12, address)); }
  Answer MassErase() { return Send({0x15}); }
  Answer LoadPc(uint32_t address) { return Send(WithAddress(0x17, address), false); }
  Answer Version() { return Send({0x19}); }
  Answer ChangeBaud(uint8_t code) { return Send({0x52, code}, false); }

  static std::vector<uint8_t> WithAddress(uint8_t command, uint32_t address);

 private:
  Transport& line_;
  int timeoutMs_;
};

// Sixteen vectors of 0xFFFF but the reset vector, low bytes first: the 32 password bytes.
std::vector<uint8_t> F5xxPassword(uint16_t resetVector);

}  // namespace simtest
