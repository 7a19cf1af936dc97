#include "serial/usb_identity.h"

#include <libudev.h>
#include <sys/stat.h>

#include <memory>

namespace serial {
namespace {

struct UdevFree {
  void operator()(udev* context) const { udev_unref(context); }
  void operator()(udev_device* device) const { udev_device_unref(device); }
};
using UdevContext = std::unique_ptr<udev, UdevFree>;
using UdevDevice = std::unique_ptr<udev_device, UdevFree>;

std::string Attribute(udev_device* device, const char* name) {
  const char* value = udev_device_get_sysattr_value(device, name);
  return value ? value : "";
}

}  // namespace

std::optional<UsbIdentity> UsbIdentityOf(const std::string& devicePath) {
  struct stat info {};
  if (stat(devicePath.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return std::nullopt;
  UdevContext context(udev_new());
  if (!context) return std::nullopt;
  UdevDevice device(udev_device_new_from_devnum(context.get(), 'c', info.st_rdev));
  if (!device) return std::nullopt;
  // The parent belongs to the child: it is not unreferenced on its own.
  udev_device* usb =
      udev_device_get_parent_with_subsystem_devtype(device.get(), "usb", "usb_device");
  if (!usb) return std::nullopt;
  UsbIdentity identity;
  identity.vendorId = Attribute(usb, "idVendor");
  identity.productId = Attribute(usb, "idProduct");
  identity.maker = Attribute(usb, "manufacturer");
  identity.product = Attribute(usb, "product");
  identity.serialNumber = Attribute(usb, "serial");
  return identity;
}

}  // namespace serial
