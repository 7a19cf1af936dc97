// Which device a port index stands for on Linux.
#include "serial/port_names.h"
#include "serial/v24_types.h"

namespace serial {

const char* PortNamingHelp() {
  return "Ports: COM1-COM32 are /dev/ttyS0-31, COM33-COM64 /dev/ttyUSB0-31 and COM65-COM96\n"
         "/dev/ttyACM0-31. A port that exists but may not be opened needs the user in the group\n"
         "dialout (sudo usermod -a -G dialout $USER, then log in again).\n";
}

const char* PortExamples() {
  return "COM33, /dev/ttyUSB0";
}

std::optional<PortDevice> PortDeviceOf(int index) {
  if (index < 0 || index >= kMaxPorts) return std::nullopt;
  if (const std::string folder = PortFolder(); !folder.empty()) {
    return PortDevice{folder + "/COM" + std::to_string(index + 1), false};
  }
  struct Range {
    int first;
    const char* prefix;
    bool needsUart;
  };
  static constexpr Range kRanges[] = {
      {0, "/dev/ttyS", true}, {32, "/dev/ttyUSB", false}, {64, "/dev/ttyACM", false}};
  for (const Range& range : kRanges) {
    if (index >= range.first && index < range.first + 32) {
      return PortDevice{range.prefix + std::to_string(index - range.first), range.needsUart};
    }
  }
  return std::nullopt;
}

}  // namespace serial
