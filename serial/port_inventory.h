// The inventory of serial ports: which exist (DeviceList), which of those could be opened
// exclusively right now (UseableList) and which this user may not open at all (DeniedList), all
// in ascending port order.
#pragma once

#include <array>
#include <cstdint>

#include "serial/v24_types.h"

namespace serial {

struct PortInventory {
  // One more entry than there are ports; entries past the count read as 0.
  std::array<int32_t, kMaxPorts + 1> DeviceList{};
  int DeviceCount = 0;
  std::array<int32_t, kMaxPorts + 1> UseableList{};
  int UseableCount = 0;
  // Present, but opening was refused for lack of permission (also counted in DeviceList).
  std::array<int32_t, kMaxPorts + 1> DeniedList{};
  int DeniedCount = 0;

  // Tries each port index once: opened (usable, closed again at once), present but busy, present
  // but not permitted, absent.
  void Take();
  int32_t Device(int i) const { return i >= 0 && i < DeviceCount ? DeviceList[i] : 0; }
  int32_t Useable(int i) const { return i >= 0 && i < UseableCount ? UseableList[i] : 0; }
  bool IsUseable(int32_t port) const;
  bool IsDenied(int32_t port) const;
};

}  // namespace serial
