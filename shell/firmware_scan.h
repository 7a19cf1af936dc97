// The firmware files of the program's folder and the menu states they decide.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "package/device_file.h"

namespace shell {

struct FirmwareScan {
  // The capacity of the firmware list; files beyond it are named in `log`.
  static constexpr size_t kCapacity = 160;

  std::vector<std::string> files;            // full file names, in the order found
  std::vector<std::string> listNames;        // the same, up to the first "." (for DLListBox)
  bool programmingMenuVisible = false;       // TG480eProgramming
  std::array<bool, 4> deviceItemsEnabled{};  // DevMulti480e, DevpH480e, DevOxi480e, DevCond480e
  bool benchEnabled = false;                 // BenchXXX
  std::vector<std::string> log;              // notes for the log (files that did not fit)
};

// Scans folder for "*.mot", "*.txt", "*.exe", "*.dll", "*.hex" in this order (names of one
// pattern sorted; the extension compared without regard to case, as the packages come from
// Windows). progFile2 holds ProgFile2 of device entries 0 to 3 (fewer when the description has
// fewer); an empty ProgFile2 is never contained in a name. The log is in language.
FirmwareScan ScanFirmwareFiles(const std::filesystem::path& folder,
                               const std::vector<std::string>& progFile2, int32_t language);
// ScanFirmwareFiles with ProgFile2 of the description's entries 0 to 3.
FirmwareScan ScanPackageFirmware(const std::filesystem::path& folder,
                                 const package::DeviceDescription& devices, int32_t language);

}  // namespace shell
