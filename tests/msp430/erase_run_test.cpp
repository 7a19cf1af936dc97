// Erase sweeps of both loaders against the simulated instruments holding an older firmware over
// all of their flash: whatever the image's layout, every segment it touches is erased before it is
// written, each segment once, and the run ends with the image in the flash.
#include <gtest/gtest.h>

#include "loaders/msp430/bsl430.h"
#include "loaders/msp430/bsl54xx430.h"
#include "tests/msp430/loader_rig.h"

namespace msp430_test {
namespace {

constexpr char kFirmware[] = "firmware.txt";
constexpr int32_t kClassicProcessor = 0x149;

// Boot loader 2.13 takes the memory offset, so every layout can be programmed with it.
const std::string kClassic =
    "[bootloader]\ntarget = classic\nversion = 2.13\nchip_id = 0xF26F\nbaud_clock = 0x808C\n"
    "flash_end = 0x1FFFF\n";
const std::string kF5xx =
    "[protocol]\npassword_groups = 2\n[bootloader]\ntarget = f5xx\nflash_end = 0x25BFF\n";

const Section kVersion{0xF000, {'1', '.', '3', '0', 0, 0xFF}};

struct Layout {
  const char* name;
  std::vector<Section> image;
  int32_t flashErase2;
};

void PrintTo(const Layout& c, std::ostream* os) {
  *os << c.name;
}

// Image blocks carry at most 246 bytes: a section of 300 bytes at A is block A and block A + 246.
const Layout kClassicLayouts[] = {
    {"Block1InsideBlock0sSegment", {{0x4010, Pattern(300, 1)}, VectorTable(0xFFE0, 0x4010)}, 0},
    {"Block1InTheNextSegment", {{0x41C0, Pattern(300, 2)}, VectorTable(0xFFE0, 0x41C0)}, 0},
    {"Block1AtASegmentStart", {{0x3F0A, Pattern(300, 3)}, VectorTable(0xFFE0, 0x3F0A)}, 0},
    {"VersionFirstThenCodeAt1104",
     {kVersion, {0x1104, Pattern(300, 4)}, VectorTable(0xFFE0, 0x1104)},
     0},
    {"AboveFFFF",
     {{0x1100, Pattern(300, 5)}, VectorTable(0xFFE0, 0x1100), {0x10100, Pattern(400, 6)}},
     0x10400},
    {"OneLowBlockAndVectorsWithTheSweepAboveFFFF",
     {{0x1100, Pattern(200, 7)}, VectorTable(0xFFE0, 0x1100)},
     0x10400},
    {"HighBlock1WithTheSweepAtFC00",
     {{0x8000, Pattern(100, 8)}, VectorTable(0xFFE0, 0x8000), {0x10010, Pattern(100, 9)}},
     0},
};

const Layout kF5xxLayouts[] = {
    {"Block1InsideBlock0sSegment", {{0x6010, Pattern(300, 1)}, VectorTable(0xFF80, 0x6010)}, 0},
    {"Block1InTheNextSegment", {{0x61C0, Pattern(300, 2)}, VectorTable(0xFF80, 0x61C0)}, 0},
    {"Block1AtASegmentStart", {{0x5F0A, Pattern(300, 3)}, VectorTable(0xFF80, 0x5F0A)}, 0},
    {"VersionFirstThenCodeAt5C04",
     {kVersion, {0x5C04, Pattern(300, 4)}, VectorTable(0xFF80, 0x5C04)},
     0},
    {"AboveFFFF",
     {{0x5C00, Pattern(200, 5)}, VectorTable(0xFF80, 0x5C00), {0x10100, Pattern(400, 6)}},
     0x10400},
    {"HighBlock1WithTheSweepAtFC00",
     {{0x5C00, Pattern(200, 7)}, {0x10000, Pattern(300, 8)}, VectorTable(0xFF80, 0x5C00)},
     0},
    {"OneLowBlockAndVectorsWithTheSweepAboveFFFF",
     {{0x6100, Pattern(200, 9)}, VectorTable(0xFF80, 0x6100)},
     0x10400},
};

class EraseRun : public LoaderRig {
 protected:
  void Program(const std::string& profileText, const Layout& layout, int32_t processor) {
    Start(profileText);
    WriteImage(kFirmware, layout.image);
    Identified(kFirmware, processor);
    update::RunStateAccess::Record(*engine).FlashErase2 = layout.flashErase2;
    ProgramMainFirmware();
  }
  void ExpectProgrammed(const Layout& layout) {
    EXPECT_TRUE(view.boxes.empty()) << view.boxes.front().text;
    EXPECT_EQ(view.finished, 1);
    ExpectFlashEquals(layout.image);
    EXPECT_EQ(instrument->Seen().programStarts, 1);
    ExpectCleanEnd();
  }
};

class ClassicErase : public EraseRun, public ::testing::WithParamInterface<Layout> {};
class F5xxErase : public EraseRun, public ::testing::WithParamInterface<Layout> {};

TEST_P(ClassicErase, ProgramsOverOldFirmware) {
  Program(kClassic, GetParam(), kClassicProcessor);
  ExpectProgrammed(GetParam());
}

TEST_P(F5xxErase, ProgramsOverOldFirmware) {
  Program(kF5xx, GetParam(), msp430::kProcessorF5xx);
  ExpectProgrammed(GetParam());
}

const auto kName = [](const ::testing::TestParamInfo<Layout>& info) { return info.param.name; };
INSTANTIATE_TEST_SUITE_P(Layouts, ClassicErase, ::testing::ValuesIn(kClassicLayouts), kName);
INSTANTIATE_TEST_SUITE_P(Layouts, F5xxErase, ::testing::ValuesIn(kF5xxLayouts), kName);

// The two boot loaders with an image of 300 bytes of code and the vector table. The frames of
// the classic run: version, password, speed change, the sweep's 120 erases (0xFC00 down to
// 0x1200, 0x1100, 0x1080), the two code blocks, then the vector erase; of the F5xx run: password,
// version, identifier, speed change, 81 erases (0xFC00 down to 0x5C00), the two code blocks, then
// the vector erase.
struct Family {
  const char* name;
  std::string profile;
  int32_t processor;
  std::vector<Section> image;
  int sweep;
  int vectorEraseFrame;
};

void PrintTo(const Family& c, std::ostream* os) {
  *os << c.name;
}

const Family kFamilies[] = {
    {"Classic",
     kClassic,
     kClassicProcessor,
     {{0x1100, Pattern(300, 1)}, VectorTable(0xFFE0, 0x1100)},
     120,
     126},
    {"F5xx",
     kF5xx,
     msp430::kProcessorF5xx,
     {{0x5C00, Pattern(300, 2)}, VectorTable(0xFF80, 0x5C00)},
     81,
     88},
};

class FamilyErase : public EraseRun, public ::testing::WithParamInterface<Family> {};

// A rejected erase of the vector segment is repeated on its own: no segment is erased twice and
// no block written twice.
TEST_P(FamilyErase, RejectedVectorEraseIsRepeatedAlone) {
  const Family& c = GetParam();
  const Layout layout{c.name, c.image, 0};
  Program(c.profile + "[bootloader_faults]\nnak = " + std::to_string(c.vectorEraseFrame) + "\n",
          layout, c.processor);
  ExpectProgrammed(layout);
  const sim::Record& seen = instrument->Seen();
  EXPECT_EQ(seen.frames.at("erase_segment"), c.sweep + 2);  // the vector segment twice
  EXPECT_EQ(seen.frames.at("rx_data_block"), 3);
}

// An erase start beyond what the processor's flash can be is refused before the instrument
// hears anything, with a message in the user's language that names it.
TEST_P(FamilyErase, EraseStartBeyondTheFlashIsRefused) {
  const Family& c = GetParam();
  Start(c.profile);
  WriteImage(kFirmware, c.image);
  Identified(kFirmware, c.processor);
  update::RunStateAccess::Record(*engine).FlashErase2 = 0x7FFFFFFF;
  for (const int language : {0, 1}) {
    settings.LanguageIndex = language;
    auto loader = msp430::MakeLoader(Host(), update::Msp430Job::kMain, c.processor);
    EXPECT_FALSE(loader->Execute(0, kFirmware, true, true).programmed);
    ASSERT_EQ(view.boxes.size(), 1u);
    const std::string& text = view.boxes[0].text;
    EXPECT_NE(text.find("0x7FFFFFFF"), std::string::npos) << text;
    EXPECT_NE(text.find(language ? "beyond the processor's flash" : "außerhalb des Flash"),
              std::string::npos)
        << text;
    view.boxes.clear();
  }
  EXPECT_TRUE(port->Written().empty());
  EXPECT_EQ(instrument->Flash()->Read(c.image[0].address), 0x31);  // the old program is there
  ExpectCleanEnd();
}

INSTANTIATE_TEST_SUITE_P(Loaders, FamilyErase, ::testing::ValuesIn(kFamilies),
                         [](const ::testing::TestParamInfo<Family>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace msp430_test
