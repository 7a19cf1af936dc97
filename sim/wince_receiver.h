// The instrument's side of the WinCE file transfer, inside its normal command mode:
//   "A.1300#<rate>"  acknowledged, then the instrument listens at that rate
//   "A.1201#" / "A.1205#" name,stamp,size   opens a file (260 instead for a file it holds)
//   "D.<n>,<c>#" and n bytes               one block, checked against its check character
//   "A.1202"  closes the file (its size must be the announced one), "A.1203" ends the transfer
// An acknowledgement is the prompt; a damaged block is answered 261 with the profile's text.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sim/mode.h"

namespace sim {

// The instrument's own check of a block: CRC-8 (polynomial 0x1D, start 0xFF, no reflection, no
// final XOR) bit by bit, then 0 made 1 and the frame's markers "D", "," and "#" moved up by one.
uint8_t WinCeCheck(const std::vector<uint8_t>& data);

class WinCeReceiver {
 public:
  struct Answer {
    std::string line;      // empty: no answer
    int switchToBaud = 0;  // after the answer has gone out, listen at this rate
  };

  explicit WinCeReceiver(Machine& machine)
      : m_(machine), damagedLeft_(machine.profile.wince.badBlocks) {}

  // The answer to a command line, or nothing when the command is not the transfer's.
  std::optional<Answer> Command(const std::string& command, const std::string& argument);
  // The bytes after "D." at the start of a line; the answer once the block has ended.
  std::optional<Answer> FrameByte(uint8_t byte);

 private:
  enum class Part { Count, Check, Hash, Data };

  Answer Ack() const;
  Answer Announce(const std::string& argument);
  Answer Close();
  Answer BlockDone();

  Machine& m_;
  Part part_ = Part::Count;
  std::string count_;
  size_t size_ = 0;
  uint8_t check_ = 0;
  std::vector<uint8_t> block_;
  std::set<int> damagedLeft_;
  int blocks_ = 0;  // blocks taken, so the next one is number blocks_ + 1
  bool open_ = false;
  ReceivedFile file_;
  size_t announcedSize_ = 0;
};

}  // namespace sim
