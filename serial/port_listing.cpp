#include "serial/port_listing.h"

#include "serial/port_names.h"

namespace serial {
namespace {

std::string_view StateName(PortState state, const ListingWords& words) {
  switch (state) {
    case PortState::Usable:
      return words.usable;
    case PortState::Busy:
      return words.busy;
    case PortState::NotPermitted:
      break;
  }
  return words.notPermitted;
}

std::string UsbText(const UsbIdentity& usb, const ListingWords& words) {
  std::string text = "USB " + usb.vendorId + ":" + usb.productId;
  const std::pair<std::string_view, const std::string*> parts[] = {
      {"", &usb.maker}, {"", &usb.product}, {words.serialNumber, &usb.serialNumber}};
  for (const auto& [label, value] : parts) {
    if (!value->empty()) text += ", " + std::string(label) + *value;
  }
  return text;
}

}  // namespace

std::vector<PortListing> DescribePorts(const PortInventory& inventory) {
  std::vector<PortListing> ports;
  for (int i = 0; i < inventory.DeviceCount; ++i) {
    PortListing port;
    port.index = inventory.DeviceList[i];
    port.device = PortDevicePath(port.index);
    port.state = inventory.IsUseable(port.index)  ? PortState::Usable
                 : inventory.IsDenied(port.index) ? PortState::NotPermitted
                                                  : PortState::Busy;
    port.usb = UsbIdentityOf(port.device);
    ports.push_back(std::move(port));
  }
  return ports;
}

std::string ListingLine(const PortListing& port, const ListingWords& words) {
  std::string line = PortDisplayName(port.index);
  line.resize(std::max<size_t>(line.size() + 2, 8), ' ');
  line += port.device + "  " + std::string(StateName(port.state, words));
  if (port.usb) line += "  " + UsbText(*port.usb, words);
  return line;
}

}  // namespace serial
