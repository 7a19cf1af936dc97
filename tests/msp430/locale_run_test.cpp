// The classic loader under a German desktop locale: the boot loader's version text "1.60" or
// "1.10" is a number with a point, so the speed change and the patch still happen.
#include <gtest/gtest.h>

#include "tests/msp430/loader_rig.h"
#include "tests/support/german_locale.h"

namespace msp430_test {
namespace {

struct VersionCase {
  const char* version;
  int speedChanges;
};

void PrintTo(const VersionCase& c, std::ostream* os) {
  *os << c.version;
}

class GermanLocaleRun : public LoaderRig, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(GermanLocaleRun, BootLoaderVersionIsReadWithAPoint) {
  test::GermanLocale german;
  ASSERT_TRUE(german.Active()) << "no de_DE.UTF-8 locale: install locales-all";
  const VersionCase& c = GetParam();
  Start(std::string("[bootloader]\ntarget = classic\nversion = ") + c.version + "\n");
  const std::vector<Section> image = {{0x1100, Pattern(300, 1)}, VectorTable(0xFFE0, 0x1100)};
  WriteImage("firmware.txt", image);
  folder.Write("Patch.TXT", TiTxt({{0x0220, Pattern(300, 0x40)}}));
  Identified("firmware.txt", 0x149);

  ProgramMainFirmware();

  EXPECT_TRUE(view.boxes.empty()) << view.boxes.front().text;
  ASSERT_EQ(view.finished, 1);
  ExpectFlashEquals(image);
  const sim::Record& seen = instrument->Seen();
  EXPECT_EQ(seen.frames.count("change_baud_rate") ? seen.frames.at("change_baud_rate") : 0,
            c.speedChanges);
}

INSTANTIATE_TEST_SUITE_P(Versions, GermanLocaleRun,
                         ::testing::Values(VersionCase{"1.60", 1}, VersionCase{"1.10", 0}),
                         [](const ::testing::TestParamInfo<VersionCase>& info) {
                           return std::string("Bsl") + info.param.version[0] +
                                  info.param.version[2] + info.param.version[3];
                         });

}  // namespace
}  // namespace msp430_test
