// The device-number tables: an instrument is listed when its answer contains a listed number,
// also with the decimals and the sensor's number behind it; the command-1500 entry holds only
// below its version.
#include <gtest/gtest.h>

#include "update/device_quirks.h"

namespace {

using namespace update::quirks;

TEST(DeviceQuirks, ListedNumbersAreFoundInsideAnswers) {
  EXPECT_TRUE(Listed("21871.000", kTerminalDevices));
  EXPECT_TRUE(Listed("20363.000,21130.001", kTerminalDevices));  // the sensor's number
  EXPECT_FALSE(Listed("2187", kTerminalDevices));
  EXPECT_FALSE(Listed("", kTerminalDevices));
  EXPECT_TRUE(Listed("22075.003", kMainRestartsFirstBoards));
  EXPECT_FALSE(Listed("22076.003", kMainRestartsFirstBoards));
}

TEST(DeviceQuirks, Command1500HoldsBelowItsVersionOnly) {
  struct Case {
    const char* device;
    int32_t version;
    bool needed;
  };
  const Case cases[] = {{"20363.000", 104, true},
                        {"20363.000", 105, false},
                        {"20363.000", 0, true},
                        {"20364.000", 100, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(NeedsCommand1500(c.device, c.version), c.needed) << c.device << " " << c.version;
  }
}

}  // namespace
