// What the kernel's device database knows about the USB adapter behind a serial device: the
// only place the program asks udev.
#pragma once

#include <optional>
#include <string>

namespace serial {

struct UsbIdentity {
  std::string vendorId;   // four hex digits, "0403"
  std::string productId;  // four hex digits
  std::string maker;
  std::string product;
  std::string serialNumber;
};

// The USB device a serial device file (or a link to it) belongs to; nothing for a device that
// is not on USB (a built-in UART, a pseudo-terminal) or when the database cannot be read.
std::optional<UsbIdentity> UsbIdentityOf(const std::string& devicePath);

}  // namespace serial
