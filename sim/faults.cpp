#include "sim/faults.h"

namespace sim {

UnitFaults FaultsFor(const FaultPlan& plan, int unit) {
  UnitFaults f;
  f.silent = plan.silent.count(unit) > 0;
  f.nak = plan.nak.count(unit) > 0;
  f.badChecksum = plan.badChecksum.count(unit) > 0;
  f.noise = plan.noise.count(unit) > 0;
  f.late = plan.late.count(unit) > 0;
  f.duplicate = plan.duplicate.count(unit) > 0;
  f.disconnect = plan.disconnect == unit;
  f.lost = plan.lost.count(unit) > 0;
  return f;
}

void SendAnswer(Link& link, const FaultPlan& plan, const UnitFaults& faults,
                const std::vector<uint8_t>& bytes, int64_t atUs) {
  if (faults.lost) return;
  if (faults.late) atUs += int64_t{plan.lateMs} * 1000;
  if (faults.noise) link.Send(plan.noiseBytes, atUs);
  link.Send(bytes, atUs);
  if (faults.duplicate) link.Send(bytes, atUs);
  if (faults.disconnect) link.Disconnect(link.OutputEndUs());
}

}  // namespace sim
