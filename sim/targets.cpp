#include "sim/targets.h"

namespace sim {

std::unique_ptr<Memory> MakeTargetMemory(const BootLoaderProfile& p) {
  std::unique_ptr<Memory> memory;
  if (p.target == TargetKind::Classic) {
    memory = std::make_unique<Memory>(ClassicMemory(
        p.ramStart, p.ramEnd, p.flashEnd ? p.flashEnd : 0x1FFFF, p.chipId, p.version));
    LoadInitialFirmware(*memory, 0x1100, p.resetVector ? p.resetVector : 0x1100);
  } else if (p.target == TargetKind::F5xx) {
    memory = std::make_unique<Memory>(F5xxMemory(p.flashEnd ? p.flashEnd : 0x25BFF, p.deviceId));
    LoadInitialFirmware(*memory, 0x5C00, p.resetVector ? p.resetVector : 0x5C00);
  }
  return memory;
}

std::unique_ptr<Mode> MakeTarget(Machine&, int64_t) {
  return nullptr;
}

}  // namespace sim
