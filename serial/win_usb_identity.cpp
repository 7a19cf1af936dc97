// The USB details of a COM port are not looked up on Windows yet: every port is listed without
// them, as a built-in port is.
#include "serial/usb_identity.h"

namespace serial {

std::optional<UsbIdentity> UsbIdentityOf(const std::string&) {
  return std::nullopt;
}

}  // namespace serial
