// The WinCE transfer's bytes on the line: the block check character, the data frame, the header
// and baud commands and the packed time stamp.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "loaders/wince/block_check.h"
#include "loaders/wince/wince_frames.h"
#include "tests/support/platform.h"

namespace loaders {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST(WinCeBlockCheck, Crc8KnownValues) {
  struct Case {
    std::vector<uint8_t> data;
    uint8_t crc;
  };
  const Case cases[] = {
      {Bytes("123456789"), 0xB4},  // the published check value
      {Bytes("abc"), 0x65},
      {{}, 0xFF},  // nothing taken: the initial value
      {{0xFF}, 0x00},
  };
  for (const Case& c : cases) EXPECT_EQ(Crc8(c.data), c.crc) << int{c.crc};
}

TEST(WinCeBlockCheck, CheckCharacterAvoidsNulAndTheFrameMarkers) {
  struct Case {
    uint8_t byte;  // one data byte whose CRC-8 is crc
    uint8_t crc;
    uint8_t check;
  };
  const Case cases[] = {
      {0xFF, 0x00, 0x01},  // NUL becomes 1
      {0xCA, 0x23, 0x24},  // "#" becomes "$"
      {0x8E, 0x44, 0x45},  // "D" becomes "E"
      {0x08, 0x2C, 0x2D},  // "," becomes "-"
      {0x64, 0x24, 0x24},  // "$" itself stays
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> data{c.byte};
    EXPECT_EQ(Crc8(data), c.crc) << int{c.byte};
    EXPECT_EQ(BlockCheckChar(data), c.check) << int{c.byte};
  }
}

TEST(WinCeFrames, DataFrameCarriesLengthCheckAndTheBytesUnchanged) {
  EXPECT_EQ(DataFrame(Bytes("abc")), "D.3,e#abc");
  const std::vector<uint8_t> binary{0x00, '\r', '\n', '#', 0xFF};
  const std::string frame = DataFrame(binary);
  EXPECT_EQ(frame.substr(0, 4), "D.5,");
  EXPECT_EQ(frame[5], '#');
  EXPECT_EQ(frame.substr(6), std::string("\0\r\n#\xFF", 5));
  EXPECT_EQ(DataFrame(std::vector<uint8_t>(2000, 'x')).size(), 2000u + 9u);
}

TEST(WinCeFrames, HeaderCommandByForcedAndInstrumentVersion) {
  struct Case {
    bool forced;
    int32_t version;
    const char* command;
  };
  const Case cases[] = {
      {true, 106, "A.1205#"}, {true, 200, "A.1205#"},  {false, 105, "A.1205#"},
      {false, 0, "A.1205#"},  {false, 106, "A.1201#"}, {false, 310, "A.1201#"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HeaderCommand(c.forced, c.version, "sub\\Main.exe", 1234567u, 4500u),
              std::string(c.command) + "sub\\Main.exe,1234567,4500\r\n")
        << c.forced << " " << c.version;
  }
  EXPECT_EQ(BaudCommand(38400), "A.1300#38400\r\n");
  EXPECT_EQ(BaudCommand(4800), "A.1300#4800\r\n");
}

class DosTime : public ::testing::Test {
 protected:
  // The time stamp is local time: fix the zone so the expectations hold everywhere.
  void SetUp() override {
    const char* zone = std::getenv("TZ");
    if (zone) saved_ = zone;
    hadZone_ = zone != nullptr;
    test::SetEnvironment("TZ", "UTC0");
    tzset();
  }
  void TearDown() override {
    if (hadZone_) {
      test::SetEnvironment("TZ", saved_.c_str());
    } else {
      test::UnsetEnvironment("TZ");
    }
    tzset();
  }

 private:
  std::string saved_;
  bool hadZone_ = false;
};

TEST_F(DosTime, PacksLocalDateAndTime) {
  struct Case {
    std::time_t time;
    uint32_t stamp;
  };
  const Case cases[] = {
      // 2024-03-15 13:45:31: year 44, month 3, day 15, 13:45, 31 s / 2 = 15
      {1710510331, (44u << 25) | (3u << 21) | (15u << 16) | (13u << 11) | (45u << 5) | 15u},
      {315532800, (1u << 21) | (1u << 16)},  // 1980-01-01 00:00:00, the first stamp
      {0, (1u << 21) | (1u << 16)},          // before 1980: the first stamp
  };
  for (const Case& c : cases) EXPECT_EQ(DosTimeStamp(c.time), c.stamp) << c.time;
}

}  // namespace
}  // namespace loaders
