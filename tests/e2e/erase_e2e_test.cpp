// Whole updates over instruments that hold an older firmware over all of their flash, with
// sections that do not start at segment boundaries: update-cli against instrument-sim must erase
// every segment the image touches and end with the image in the flash.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/e2e/image_update.h"

namespace e2e {
namespace {

using ::testing::HasSubstr;

struct Case {
  const char* name;
  std::string profile;
  std::vector<Section> image;
  std::string prozTyp;
  std::string flashErase2;
  uint32_t mainStart;  // the first address of main memory (the lowest segment starts there)
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

// Where the image has no data, the 512-byte segments it touches read erased: nothing of the
// old firmware is left in them.
void ExpectTouchedSegmentsErased(const Update& update, const Case& c) {
  const std::map<uint32_t, uint8_t> image = msp430_test::ImageBytes(c.image);
  int leftovers = 0;
  for (const auto& entry : image) {
    const uint32_t first = std::max(entry.first & ~0x1FFu, c.mainStart);
    for (uint32_t a = first; a <= (entry.first | 0x1FF); ++a) {
      if (image.count(a) == 0 && FlashByte(update, a) != 0xFF && ++leftovers < 5) {
        ADD_FAILURE() << std::hex << "0x" << a << " still holds 0x" << int{FlashByte(update, a)};
      }
    }
  }
  EXPECT_EQ(leftovers, 0);
}

class EraseEndToEnd : public ::testing::TestWithParam<Case> {};

TEST_P(EraseEndToEnd, ProgramsOverOldFirmware) {
  const Case& c = GetParam();
  const Update update =
      RunUpdate(c.profile, ImagePackage{TiTxt(c.image), c.prozTyp, c.flashErase2});
  EXPECT_EQ(update.cli.exitCode, 0) << update.cli.output;
  EXPECT_THAT(update.cli.output, HasSubstr("Download erfolgreich ausgeführt !"));
  ExpectFlashHolds(update, c.image);
  ExpectTouchedSegmentsErased(update, c);
  EXPECT_THAT(update.state, HasSubstr("\"A.1121\""));  // the new firmware greeted
}

const std::string kClassic =
    "[bootloader]\ntarget = classic\nversion = 2.13\nchip_id = 0xF26F\nbaud_clock = 0x808C\n";
const std::string kF5xx = "[bootloader]\ntarget = f5xx\n";

INSTANTIATE_TEST_SUITE_P(
    Layouts, EraseEndToEnd,
    ::testing::Values(
        // Code from 0x1104: the old start code at 0x1100 shares its segment.
        Case{"ClassicCodeAt1104",
             kClassic,
             {kVersion, {0x1104, Pattern(300, 1)}, VectorTable(0xFFE0, 0x1104)},
             "149",
             "",
             0x1100},
        Case{"ClassicSweepAboveFFFFOneLowBlock",
             kClassic,
             {{0x1104, Pattern(200, 2)}, VectorTable(0xFFE0, 0x1104), kVersion},
             "149",
             "0x10400",
             0x1100},
        Case{"F5xxCodeAt5C04",
             kF5xx,
             {kVersion, {0x5C04, Pattern(300, 3)}, VectorTable(0xFF80, 0x5C04)},
             "5438",
             "",
             0x5C00},
        // Block 1, the section's continuation, lies in the next segment.
        Case{"F5xxCodeNearASegmentEnd",
             kF5xx,
             {{0x5DC0, Pattern(300, 6)}, kVersion, VectorTable(0xFF80, 0x5DC0)},
             "5438",
             "",
             0x5C00},
        Case{"F5xxBlock1Above10000",
             kF5xx,
             {kVersion,
              {0x5C00, Pattern(200, 4)},
              VectorTable(0xFF80, 0x5C00),
              {0x10000, Pattern(300, 5)}},
             "5438",
             "",
             0x5C00}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

// The sweep starts above 0xFFFF, so the first frame after the speed change (version, password,
// speed change, then this one) sets the memory offset; it is rejected once. The retry goes on
// with the sweep where the first attempt would have.
TEST(EraseEndToEnd, RejectedMemoryOffsetIsRetriedOnce) {
  const std::vector<Section> image = {
      {0x1104, Pattern(200, 7)}, kVersion, VectorTable(0xFFE0, 0x1104), {0x10000, Pattern(100, 8)}};
  const Update update = RunUpdate(kClassic + "[bootloader_faults]\nnak = 4\n",
                                  ImagePackage{TiTxt(image), "149", "0x10200"});
  EXPECT_EQ(update.cli.exitCode, 0) << update.cli.output;
  EXPECT_THAT(update.cli.output, HasSubstr("Download erfolgreich ausgeführt !"));
  ExpectFlashHolds(update, image);
  // Up for the sweep (twice), down in it, up for the high block, down for the vectors, and the
  // same two changes in the read-back.
  EXPECT_THAT(update.state, HasSubstr("\"set_mem_offset\": 7"));
}

}  // namespace
}  // namespace e2e
