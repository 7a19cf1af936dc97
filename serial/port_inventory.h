// The inventory of serial ports: which exist (DeviceList) and which of those could be opened
// exclusively right now (UseableList), both in ascending port order.
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

  // Tries each port index once: opened (usable, closed again at once), present but busy, absent.
  void Take();
  int32_t Device(int i) const { return i >= 0 && i < DeviceCount ? DeviceList[i] : 0; }
  int32_t Useable(int i) const { return i >= 0 && i < UseableCount ? UseableList[i] : 0; }
};

}  // namespace serial
