// Port naming on Windows: COMn opens as \\.\COMn; a port folder limits the ports to its entries.
#include <gtest/gtest.h>

#include <limits>

#include "serial/port_names.h"
#include "serial/v24_types.h"
#include "tests/support/platform.h"
#include "tests/support/temp_folder.h"

namespace serial {
namespace {

TEST(PortNames, DisplayNamesAndDefaultMapping) {
  test::UnsetEnvironment(kPortDirVariable);
  EXPECT_EQ(PortDisplayName(0), "COM1");
  EXPECT_EQ(PortDisplayName(Com256), "COM256");
  EXPECT_EQ(PortDisplayName(std::numeric_limits<int>::max()), "COM2147483648");
  const struct {
    int index;
    const char* path;
  } cases[] = {{0, R"(\\.\COM1)"}, {9, R"(\\.\COM10)"}, {255, R"(\\.\COM256)"}};
  for (const auto& c : cases) {
    const auto device = PortDeviceOf(c.index);
    ASSERT_TRUE(device) << c.index;
    EXPECT_EQ(device->path, c.path);
    EXPECT_FALSE(device->needsUart);
  }
  for (int index : {-1, 256}) EXPECT_FALSE(PortDeviceOf(index)) << index;
}

// COM1 to COM9 are device names in every folder of Windows: no file can carry them.
TEST(PortNames, PortFolderLimitsThePortsToItsEntries) {
  test::TempFolder folder;
  folder.Write("COM12", "");
  test::SetEnvironment(kPortDirVariable, folder.Path().string());
  const auto device = PortDeviceOf(11);
  ASSERT_TRUE(device);
  EXPECT_EQ(device->path, R"(\\.\COM12)");
  for (int index : {9, 10, 12, 255}) EXPECT_FALSE(PortDeviceOf(index)) << index;
  test::UnsetEnvironment(kPortDirVariable);
}

}  // namespace
}  // namespace serial
