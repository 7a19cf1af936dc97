// The boot loader of the menu-selectable instrument family, as far as the updater meets it: it
// answers every request frame (ended by 0x16) with its identification frame. Programming it is
// the business of the external loader programs.
#pragma once

#include <cstdint>

#include "sim/mode.h"

namespace sim {

class FrameBootLoader : public Mode {
 public:
  FrameBootLoader(Machine& machine, int64_t nowUs);
  const char* Name() const override { return "frame boot loader"; }
  void OnByte(uint8_t byte, int64_t nowUs) override;

 private:
  Machine& m_;
  int unit_ = 0;
};

}  // namespace sim
