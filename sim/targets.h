// The boot-loader targets an entry command can lead to.
#pragma once

#include <memory>

#include "sim/mode.h"

namespace sim {

// The memory of the profile's target with its initial firmware; null without a target.
std::unique_ptr<Memory> MakeTargetMemory(const BootLoaderProfile& profile);
// The profile's boot loader, listening from nowUs on; null without a target.
std::unique_ptr<Mode> MakeTarget(Machine& machine, int64_t nowUs);

}  // namespace sim
