#include "serial/port_names.h"

#include <cstdint>
#include <cstdlib>

#include "serial/v24_types.h"

namespace serial {

std::string PortDisplayName(int index) {
  // Any int names a port, also one read from a damaged parameter file.
  return "COM" + std::to_string(int64_t{index} + 1);
}

std::optional<PortDevice> PortDeviceOf(int index) {
  if (index < 0 || index >= kMaxPorts) return std::nullopt;
  if (const char* dir = std::getenv(kPortDirVariable); dir && *dir) {
    return PortDevice{std::string(dir) + "/COM" + std::to_string(index + 1), false};
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
