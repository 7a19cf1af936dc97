#include "serial/port_inventory.h"

#include "serial/port_names.h"
#include "serial/posix_line.h"

namespace serial {

void PortInventory::Take() {
  DeviceList.fill(0);
  UseableList.fill(0);
  DeviceCount = 0;
  UseableCount = 0;
  for (int k = 0; k < kMaxPorts; ++k) {
    const std::optional<PortDevice> device = PortDeviceOf(k);
    if (!device) continue;
    switch (posix::OpenExclusive(*device).outcome) {
      case posix::OpenOutcome::Opened:  // the line closes when the result goes
        UseableList[UseableCount++] = k;
        DeviceList[DeviceCount++] = k;
        break;
      case posix::OpenOutcome::Busy:
        DeviceList[DeviceCount++] = k;
        break;
      case posix::OpenOutcome::Absent:
        break;
    }
  }
}

}  // namespace serial
