// Port naming on Linux: COM numbers map to device files, or to the entries of a port folder.
#include <gtest/gtest.h>

#include <limits>

#include "serial/port_names.h"
#include "serial/v24_types.h"
#include "tests/support/platform.h"

namespace serial {
namespace {

TEST(PortNames, DisplayNamesAndDefaultMapping) {
  test::UnsetEnvironment(kPortDirVariable);
  EXPECT_EQ(PortDisplayName(0), "COM1");
  EXPECT_EQ(PortDisplayName(Com256), "COM256");
  EXPECT_EQ(PortDisplayName(std::numeric_limits<int>::max()), "COM2147483648");
  EXPECT_EQ(PortDisplayName(std::numeric_limits<int>::min()), "COM-2147483647");
  struct Case {
    int index;
    const char* path;
    bool needsUart;
  } cases[] = {{0, "/dev/ttyS0", true},     {31, "/dev/ttyS31", true},
               {32, "/dev/ttyUSB0", false}, {63, "/dev/ttyUSB31", false},
               {64, "/dev/ttyACM0", false}, {95, "/dev/ttyACM31", false}};
  for (const Case& c : cases) {
    const auto device = PortDeviceOf(c.index);
    ASSERT_TRUE(device) << c.index;
    EXPECT_EQ(device->path, c.path);
    EXPECT_EQ(device->needsUart, c.needsUart);
  }
  for (int index : {-1, 96, 255, 256}) EXPECT_FALSE(PortDeviceOf(index)) << index;
}

TEST(PortNames, PortFolderOverridesTheMapping) {
  test::SetEnvironment(kPortDirVariable, "/tmp/ports");
  EXPECT_EQ(PortDeviceOf(0)->path, "/tmp/ports/COM1");
  EXPECT_EQ(PortDeviceOf(255)->path, "/tmp/ports/COM256");
  EXPECT_FALSE(PortDeviceOf(0)->needsUart);
  EXPECT_FALSE(PortDeviceOf(256));
  test::UnsetEnvironment(kPortDirVariable);
}

}  // namespace
}  // namespace serial
