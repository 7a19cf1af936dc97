// One behaviour of the instrument on its line: the normal command mode or a boot-loader target.
// The Instrument feeds it the bytes it listens to and switches between modes.
#pragma once

#include <cstdint>
#include <functional>

#include "sim/link.h"
#include "sim/memory.h"
#include "sim/profile.h"
#include "sim/record.h"

namespace sim {

// What the modes share. Mode changes are requested, and the Instrument carries them out
// between bytes, never inside a mode's call.
struct Machine {
  const Profile& profile;
  Link& link;
  Record& record;
  Memory* memory;  // null without a boot-loader target
  std::function<void(int64_t atUs)> enterBootLoader;
  std::function<void(int64_t atUs)> startProgram;
  std::function<void(const ReceivedFile&)> fileDone;
};

class Mode {
 public:
  virtual ~Mode() = default;
  virtual const char* Name() const = 0;
  virtual void OnByte(uint8_t byte, int64_t nowUs) = 0;
  // The host changed its line settings.
  virtual void OnHostLine(int64_t /*nowUs*/) {}
  virtual bool WaitsForHostLine() const { return false; }
};

}  // namespace sim
