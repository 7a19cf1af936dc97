// The classic MSP430 ROM boot loader (F1xx/F2xx/F4xx) on the target side: the synchronisation
// character, frames with the XOR checksum, every command of the published protocol, the version
// differences (1.10 needs its RAM patch, 1.60 changes speed, 2.12 takes a memory offset).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/faults.h"
#include "sim/mode.h"

namespace sim {

// The classic frame checksum over bytes: XOR of the little-endian words, inverted; returned as
// CKL | CKH << 8. An odd count ends with a word whose high byte is 0.
uint16_t ClassicChecksum(const std::vector<uint8_t>& bytes);

class ClassicBsl : public Mode {
 public:
  ClassicBsl(Machine& machine, int64_t nowUs);

  const char* Name() const override { return "classic boot loader"; }
  void OnByte(uint8_t byte, int64_t nowUs) override;

  static constexpr uint8_t kSync = 0x80, kAck = 0x90, kNak = 0xA0;

 private:
  struct Command {
    uint8_t command;
    uint32_t address;  // AL AH with the memory offset applied
    uint16_t low;      // AL AH as sent
    uint8_t ll, lh;
    std::vector<uint8_t> data;  // after LH
  };
  enum class Answer { Ack, Nak, Frame, None };

  void WatchStall(int64_t nowUs);
  void OnStall(int64_t nowUs);
  void OnFrame(int64_t nowUs);
  Answer Execute(const Command& f, int64_t nowUs, std::vector<uint8_t>& reply, int64_t& busyUs);
  Answer Password(const Command& f);
  Answer WriteBlock(const Command& f, int64_t& busyUs);
  Answer ReadBlock(const Command& f, std::vector<uint8_t>& reply);
  Answer Erase(const Command& f, int64_t& busyUs);
  Answer MassErase(const Command& f, int64_t& busyUs);
  Answer LoadPc(const Command& f, int64_t nowUs);
  Answer ChangeBaud(const Command& f, int64_t nowUs);
  bool PatchNeeded(uint32_t address, size_t count) const;
  // The fault switch fail_sessions: this programming session is to fail.
  bool FailingSession() const;
  void Answer1(uint8_t byte, int64_t atUs);
  // Acknowledges a synchronisation character, late when the fault switch late_sync says so.
  void AnswerSync(int64_t atUs);

  Machine& m_;
  // Scheduled checks hold it weakly: they do nothing once the mode is gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  const BootLoaderProfile& p_;
  Memory& memory_;
  enum class State { Sync, Frame } state_ = State::Sync;
  std::vector<uint8_t> frame_;
  int64_t lastByteUs_ = 0;
  bool stallWatched_ = false;
  int unit_ = 0;
  int syncs_ = 0;  // synchronisation characters acknowledged
  UnitFaults faults_;
  bool unlocked_ = false;
  int offset_ = 0;
  bool patchLoaded_ = false;  // RAM at the patch address written since the part was powered
  bool patchArmed_ = false;   // the last frame ran the patch: the next block command works
  bool armedForThis_ = false;
  bool started_ = false;  // the program was started: nothing more is heard
};

}  // namespace sim
