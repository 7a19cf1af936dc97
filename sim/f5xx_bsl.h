// The MSP430F5xx flash boot loader's UART protocol on the target side: frames with a length and
// a CRC-16-CCITT over the core, a one-byte acknowledgement or UART error, then a data (0x3A) or
// status (0x3B) response.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/faults.h"
#include "sim/mode.h"

namespace sim {

// CRC-16-CCITT: polynomial 0x1021, initial value 0xFFFF, no reflection, no final XOR.
uint16_t Crc16Ccitt(const uint8_t* data, size_t size, uint16_t crc = 0xFFFF);

class F5xxBsl : public Mode {
 public:
  F5xxBsl(Machine& machine, int64_t nowUs);

  const char* Name() const override { return "F5xx boot loader"; }
  void OnByte(uint8_t byte, int64_t nowUs) override;

  static constexpr uint8_t kAck = 0x00, kHeaderError = 0x51, kCrcError = 0x52, kSizeZero = 0x53,
                           kTooLong = 0x54, kBadBaud = 0x56;
  enum Status : uint8_t {
    kOk = 0,
    kWriteCheck = 1,
    kFailBit = 2,
    kLocked = 4,
    kPasswordError = 5,
    kUnknownCommand = 7,
    kPacketTooLong = 8
  };

 private:
  struct Result {
    uint8_t ack = kAck;
    bool respond = true;  // a response frame follows the acknowledgement
    std::vector<uint8_t> core;
    int64_t busyUs = 0;
  };

  void WatchStall(int64_t nowUs);
  void OnStall(int64_t nowUs);
  void OnFrame(int64_t nowUs);
  void Reply(const Result& r, int64_t atUs);
  void SendReply(const Result& r, int64_t atUs, const UnitFaults& faults);
  Result Execute(const std::vector<uint8_t>& core, int64_t nowUs);
  Result Password(const std::vector<uint8_t>& data);
  Result WriteBlock(uint32_t address, const std::vector<uint8_t>& data);
  Result Erase(uint32_t address);
  Result ReadBlock(uint32_t address, size_t count);
  Result LoadPc(uint32_t address, int64_t nowUs);
  Result ChangeBaud(uint8_t code, int64_t nowUs);
  bool Protected(uint32_t address) const;
  static Result Status(uint8_t status, int64_t busyUs = 0);

  Machine& m_;
  // Scheduled checks hold it weakly: they do nothing once the mode is gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  const BootLoaderProfile& p_;
  Memory& memory_;
  std::vector<uint8_t> frame_;
  bool discarding_ = false;  // after a length error: until the line is quiet
  int64_t lastByteUs_ = 0;
  bool stallWatched_ = false;
  int unit_ = 0;
  UnitFaults faults_;
  bool unlocked_ = false;
  bool infoALocked_ = true;
  bool started_ = false;
};

}  // namespace sim
