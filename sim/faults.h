// Applying the profile's fault switches to one answer.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/link.h"
#include "sim/profile.h"

namespace sim {

struct UnitFaults {
  bool silent = false, nak = false, badChecksum = false, noise = false, late = false;
  bool duplicate = false, disconnect = false, lost = false;
};

UnitFaults FaultsFor(const FaultPlan& plan, int unit);

// Sends an answer with the unit's faults: noise in front, late by lateMs, twice, lost on the
// way, the line cut after it.
void SendAnswer(Link& link, const FaultPlan& plan, const UnitFaults& faults,
                const std::vector<uint8_t>& bytes, int64_t atUs);

}  // namespace sim
