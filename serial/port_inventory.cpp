#include "serial/port_inventory.h"

#include "serial/port_names.h"
#include "serial/posix_line.h"

namespace serial {

void PortInventory::Take() {
  DeviceList.fill(0);
  UseableList.fill(0);
  DeniedList.fill(0);
  DeviceCount = 0;
  UseableCount = 0;
  DeniedCount = 0;
  for (int k = 0; k < kMaxPorts; ++k) {
    const std::optional<PortDevice> device = PortDeviceOf(k);
    if (!device) continue;
    switch (os::OpenExclusive(*device).outcome) {
      case os::OpenOutcome::Opened:  // the line closes when the result goes
        UseableList[UseableCount++] = k;
        DeviceList[DeviceCount++] = k;
        break;
      case os::OpenOutcome::Busy:
        DeviceList[DeviceCount++] = k;
        break;
      case os::OpenOutcome::Denied:
        DeniedList[DeniedCount++] = k;
        DeviceList[DeviceCount++] = k;
        break;
      case os::OpenOutcome::Absent:
        break;
    }
  }
}

bool PortInventory::IsUseable(int32_t port) const {
  for (int i = 0; i < UseableCount; ++i) {
    if (UseableList[i] == port) return true;
  }
  return false;
}

bool PortInventory::IsDenied(int32_t port) const {
  for (int i = 0; i < DeniedCount; ++i) {
    if (DeniedList[i] == port) return true;
  }
  return false;
}

}  // namespace serial
