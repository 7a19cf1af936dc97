// Port naming. Port index k is COM(k+1). Which device a port index stands for belongs to the
// platform (port_names_posix.cpp, port_names_win.cpp); the names and choices are shared.
//
// Linux: by default COM1-32 are /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31 and COM65-96
// /dev/ttyACM0-31, so a port keeps its number across runs. When UPDATE_PORT_DIR names a folder,
// exactly its entries COM1 ... COM256 (links to devices) are the ports; tests, the demo and the
// simulator use that.
// Windows: COMn is the device \\.\COMn for every n from 1 to 256; which are present shows when
// they are opened. When UPDATE_PORT_DIR names a folder, only the COM ports whose name is among
// the folder's entry names are ports (they still open as \\.\COMn; on Windows a name like COM5
// means the device in every folder, so the entries are only listed, never opened). A test under
// Wine keeps the program away from the machine's other ports so, with the same folder of COMn
// links the simulator makes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace serial {

inline constexpr const char* kPortDirVariable = "UPDATE_PORT_DIR";

// "COM%u" with index + 1.
std::string PortDisplayName(int index);

struct PortDevice {
  std::string path;
  // /dev/ttyS nodes exist without hardware; only those with a UART behind them count.
  bool needsUart = false;
};

// The device of port index k, or nothing when no device is mapped to it.
std::optional<PortDevice> PortDeviceOf(int index);

// The device file port index k stands for, as the user knows it: the mapped path, or in a port
// folder the device its link leads to. Empty when no device is mapped to the index.
std::string PortDevicePath(int index);

// For a program's help: which device each COM number stands for, and what a port that cannot be
// opened needs; one paragraph ending in a line break.
const char* PortNamingHelp();
// Two ways of naming a port on this platform, for a program's help: "COM33, /dev/ttyUSB0".
const char* PortExamples();

// The folder UPDATE_PORT_DIR names; empty when it names none.
std::string PortFolder();

// The port index of a name "COMn" / "comn" with n from 1 to 256; nothing for any other text.
std::optional<int> ComNameIndex(std::string_view name);

// The port index a user's choice names: "COMn" / "comn" (n from 1 to 256) or the path of a
// device mapped to a port (also through links). Nothing when it names no port.
std::optional<int> PortIndexOfChoice(const std::string& choice);

}  // namespace serial
