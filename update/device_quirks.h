// The instruments the update sequence treats apart, by the numbers they give when asked: the
// device number (answer to "A.2000") or the PCB number (answer to "A.2003"). A number is listed
// when the instrument's answer contains it.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace update::quirks {

// Terminal instruments: their second firmware file is the terminal file.
inline constexpr std::array<std::string_view, 4> kTerminalDevices = {"21130", "21030", "21157",
                                                                     "21871"};
// Boards whose main processor restarts before the secondary processor can be programmed.
inline constexpr std::array<std::string_view, 1> kMainRestartsFirstBoards = {"22075"};

// Devices that need command 1500 after answer 920 while their firmware is older than a version.
struct OlderThan {
  std::string_view device;
  int32_t version;  // in hundredths
};
inline constexpr std::array<OlderThan, 1> kCommand1500Devices = {{{"20363", 105}}};

// True when number (a device or PCB number) contains one of the table's numbers.
template <size_t N>
constexpr bool Listed(std::string_view number, const std::array<std::string_view, N>& table) {
  return std::any_of(table.begin(), table.end(), [number](std::string_view entry) {
    return number.find(entry) != number.npos;
  });
}

// True when the device is listed in kCommand1500Devices and version lies below its entry.
constexpr bool NeedsCommand1500(std::string_view device, int32_t version) {
  return std::any_of(kCommand1500Devices.begin(), kCommand1500Devices.end(),
                     [&](const OlderThan& entry) {
                       return device.find(entry.device) != device.npos && version < entry.version;
                     });
}

}  // namespace update::quirks
