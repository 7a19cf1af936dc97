// What a window needs to open on a package: the folders and the package files as read at
// start-up. Shared by the Qt window and the Win32 window; no toolkit here.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "package/device_file.h"
#include "package/settings.h"
#include "serial/com_port.h"

namespace shell {

// The program's exit code when it cannot start a run: a package file could not be read, or no
// serial port can be used.
inline constexpr int kStartupFailed = 2;

struct FormOptions {
  // The folder of the executable as started: firmware files are listed from here.
  std::filesystem::path programFolder;
  // The working folder: the package files were read from here (Update.ini perhaps from the
  // settings folder), and Update.ini is rewritten there.
  std::filesystem::path workingFolder;
  package::Settings settings;          // from Update.ini
  package::DeviceDescription devices;  // from ProgDevice.ini; entries 0 to 3 decide the menu rules
  std::vector<std::string> startupNotes;  // log entries about clipped or refused input
  // Where the ports' error boxes go; empty: a modal message box.
  serial::ErrorBox portErrorBox;
};

}  // namespace shell
