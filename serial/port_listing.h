// The ports the program would use, described for a person choosing one: COM number, device,
// whether it can be used, and what a USB adapter says about itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "serial/port_inventory.h"
#include "serial/usb_identity.h"

namespace serial {

enum class PortState { Usable, Busy, NotPermitted };

struct PortListing {
  int index = 0;       // 0 is COM1
  std::string device;  // see PortDevicePath
  PortState state = PortState::Usable;
  std::optional<UsbIdentity> usb;
};

// The words of a listing line in the reader's language (the caller takes them from its
// catalogue).
struct ListingWords {
  std::string_view usable;
  std::string_view busy;
  std::string_view notPermitted;
  std::string_view serialNumber;  // before a USB adapter's serial number, with its blank
};

// Every present port of the inventory, in port order.
std::vector<PortListing> DescribePorts(const PortInventory& inventory);
// One line: "COM33  /dev/ttyUSB0  usable  USB 0403:6001 maker, product, serial number ...".
std::string ListingLine(const PortListing& port, const ListingWords& words);

}  // namespace serial
