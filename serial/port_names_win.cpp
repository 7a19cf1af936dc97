// Which device a port index stands for on Windows: COMn is \\.\COMn. The system's device
// namespace is not asked which COM names exist: Wine does not list the COM ports a dosdevices link
// makes (only those of its own device scan), yet opens them; a port is present when it opens.
#include <filesystem>
#include <system_error>

#include "serial/port_names.h"
#include "serial/v24_types.h"

namespace serial {

std::optional<PortDevice> PortDeviceOf(int index) {
  if (index < 0 || index >= kMaxPorts) return std::nullopt;
  if (const std::string entry = PortFolderEntry(index); !entry.empty()) {
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(entry, error))) {
      return std::nullopt;
    }
  }
  return PortDevice{"\\\\.\\COM" + std::to_string(index + 1), false};
}

}  // namespace serial
