// Which device a port index stands for on Windows: COMn is \\.\COMn. The system's device
// namespace is not asked which COM names exist: Wine does not list the COM ports a dosdevices link
// makes (only those of its own device scan), yet opens them; a port is present when it opens.
#include <filesystem>
#include <system_error>

#include "serial/port_names.h"
#include "serial/v24_types.h"

namespace serial {
namespace {

// Whether the folder has an entry named for the port. Only the names are read: opening
// "<folder>\COM5" would open the port itself.
bool FolderNamesPort(const std::string& folder, int index) {
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    if (ComNameIndex(entry->path().filename().string()) == index) return true;
  }
  return false;
}

}  // namespace

const char* PortExamples() {
  return "COM3, \\\\.\\COM3";
}

const char* PortNamingHelp() {
  return "Ports: COMn is the device \\\\.\\COMn, COM1 to COM256. A port that exists but cannot be\n"
         "opened is in use by another program; close it there.\n";
}

std::optional<PortDevice> PortDeviceOf(int index) {
  if (index < 0 || index >= kMaxPorts) return std::nullopt;
  if (const std::string folder = PortFolder(); !folder.empty() && !FolderNamesPort(folder, index)) {
    return std::nullopt;
  }
  return PortDevice{"\\\\.\\COM" + std::to_string(index + 1), false};
}

}  // namespace serial
