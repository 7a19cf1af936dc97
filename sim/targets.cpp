#include "sim/targets.h"

#include <algorithm>

#include "sim/basic_loader.h"
#include "sim/classic_bsl.h"
#include "sim/f5xx_bsl.h"
#include "sim/frame_boot_loader.h"

namespace sim {

namespace {

void LoadFirmware(const BootLoaderProfile& p, Memory& memory, uint32_t codeAddress) {
  const uint16_t resetVector = p.resetVector ? p.resetVector : static_cast<uint16_t>(codeAddress);
  if (p.initialFlash == InitialFlash::OldFirmware)
    LoadOldFirmware(memory, codeAddress, resetVector);
  else
    LoadInitialFirmware(memory, codeAddress, resetVector);
}

}  // namespace

std::unique_ptr<Memory> MakeTargetMemory(const BootLoaderProfile& p) {
  std::unique_ptr<Memory> memory;
  if (p.target == TargetKind::Classic) {
    memory = std::make_unique<Memory>(ClassicMemory(
        p.ramStart, p.ramEnd, p.flashEnd ? p.flashEnd : 0x1FFFF, p.chipId, p.version));
    LoadFirmware(p, *memory, 0x1100);
  } else if (p.target == TargetKind::F5xx) {
    memory = std::make_unique<Memory>(F5xxMemory(p.flashEnd ? p.flashEnd : 0x25BFF, p.deviceId));
    LoadFirmware(p, *memory, 0x5C00);
  } else if (p.target == TargetKind::Basic) {
    const uint32_t start = p.flashStart;
    const uint32_t end = p.flashEnd ? p.flashEnd : 0xFFFFF;
    memory = std::make_unique<Memory>(
        Memory({{start, std::max(start, end), Region::Kind::MainFlash, 0x1000}}));
    LoadFirmware(p, *memory, start);
  }
  return memory;
}

std::unique_ptr<Mode> MakeTarget(Machine& machine, int64_t nowUs) {
  // The frame boot loader has no flash model: it only answers.
  if (machine.profile.bootLoader.target == TargetKind::Frame)
    return std::make_unique<FrameBootLoader>(machine, nowUs);
  if (!machine.memory) return nullptr;
  switch (machine.profile.bootLoader.target) {
    case TargetKind::Classic:
      return std::make_unique<ClassicBsl>(machine, nowUs);
    case TargetKind::F5xx:
      return std::make_unique<F5xxBsl>(machine, nowUs);
    case TargetKind::Basic:
      return std::make_unique<BasicLoader>(machine, nowUs);
    case TargetKind::None:
    case TargetKind::Frame:
      break;
  }
  return nullptr;
}

}  // namespace sim
