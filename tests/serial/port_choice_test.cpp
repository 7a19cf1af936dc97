// Choosing a port by COM number or device, and the listing of the ports present.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include <fcntl.h>
#include <unistd.h>

#include "serial/port_listing.h"
#include "serial/port_names.h"
#include "tests/serial/pty_fixture.h"

namespace {

using ::testing::HasSubstr;

const serial::ListingWords kWords{"usable", "busy", "not permitted", "serial number "};

TEST(PortChoice, NamesAPortByComNumberOrDevice) {
  ptytest::PortDir ports;
  ptytest::Pty& com3 = ports.Add(3);
  ports.Add(5);
  const struct {
    std::string choice;
    std::optional<int> index;
  } cases[] = {
      {"COM3", 2},
      {"com3", 2},
      {"Com256", 255},
      {com3.SlavePath(), 2},                  // the device the link leads to
      {(ports.Path() / "COM5").string(), 4},  // the link itself
      {"COM0", std::nullopt},
      {"COM257", std::nullopt},
      {"COM3x", std::nullopt},
      {"COM", std::nullopt},
      {"", std::nullopt},
      {"/dev/null", std::nullopt},  // a device, but no port's
      {"/no/such/device", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.choice);
    EXPECT_EQ(serial::PortIndexOfChoice(c.choice), c.index);
  }
}

TEST(PortChoice, DevicePathFollowsTheFolderLink) {
  ptytest::PortDir ports;
  ptytest::Pty& com2 = ports.Add(2);
  EXPECT_EQ(serial::PortDevicePath(1), com2.SlavePath());
  // A link that leads nowhere still names what it was made for.
  ports.Link("COM4", "/dev/gone");
  EXPECT_EQ(serial::PortDevicePath(3), (ports.Path() / "COM4").string());
  EXPECT_EQ(serial::PortDevicePath(-1), "");
}

TEST(PortListing, ShowsEachPresentPortWithItsDeviceAndState) {
  ptytest::PortDir ports;
  ptytest::Pty& free = ports.Add(1);
  ptytest::Pty& held = ports.Add(4);
  ports.Link("COM6", "/dev/gone");  // absent: not listed
  // Another program holds COM4.
  const int holder = open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);

  serial::PortInventory inventory;
  inventory.Take();
  const std::vector<serial::PortListing> listing = serial::DescribePorts(inventory);
  close(holder);

  ASSERT_EQ(listing.size(), 2u);
  EXPECT_EQ(listing[0].index, 0);
  EXPECT_EQ(listing[0].state, serial::PortState::Usable);
  EXPECT_FALSE(listing[0].usb);  // a pty is not on USB
  EXPECT_EQ(serial::ListingLine(listing[0], kWords), "COM1    " + free.SlavePath() + "  usable");
  EXPECT_EQ(listing[1].index, 3);
  EXPECT_EQ(listing[1].state, serial::PortState::Busy);
  EXPECT_THAT(serial::ListingLine(listing[1], kWords), HasSubstr(held.SlavePath() + "  busy"));
}

TEST(PortListing, UsbDetailsOnOneLine) {
  serial::PortListing port;
  port.index = 32;
  port.device = "/dev/ttyUSB0";
  port.state = serial::PortState::NotPermitted;
  port.usb = serial::UsbIdentity{"0403", "6001", "Maker", "Cable", "A1B2"};
  EXPECT_EQ(serial::ListingLine(port, kWords),
            "COM33   /dev/ttyUSB0  not permitted  USB 0403:6001, Maker, Cable, serial number A1B2");
  port.usb = serial::UsbIdentity{"1a86", "7523", "", "", ""};
  EXPECT_EQ(serial::ListingLine(port, kWords),
            "COM33   /dev/ttyUSB0  not permitted  USB 1a86:7523");
}

TEST(PortListing, NoUsbIdentityForWhatIsNoCharacterDevice) {
  EXPECT_FALSE(serial::UsbIdentityOf("/no/such/device"));
  EXPECT_FALSE(serial::UsbIdentityOf("/tmp"));
}

}  // namespace
