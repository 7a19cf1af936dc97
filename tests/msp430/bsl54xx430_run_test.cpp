// The F5xx loader against the simulated F5xx boot loader, through the engine's MSP430 path
// (ProzTyp 0x5438): whole runs ending with the flash equal to the image, and a wrong password.
#include <gtest/gtest.h>

#include "loaders/msp430/bsl54xx430.h"
#include "tests/msp430/loader_rig.h"

namespace msp430_test {
namespace {

constexpr char kFirmware[] = "firmware.txt";

// The instrument answers 80 with two vectors: the reset vector, then the word at 0xFFFC.
const std::string kF5xx =
    "[protocol]\npassword_groups = 2\n[bootloader]\ntarget = f5xx\nflash_end = 0x25BFF\n";

const Section kCode{0x5C00, Pattern(700, 2)};
const Section kVectors = VectorTableWithStart(0xFF80, 0x5C40, 0x5C00);

struct SuccessCase {
  const char* name;
  std::vector<Section> image;
  int32_t flashErase2;
  bool marked;  // the file was marked with "@": no speed change
  int speedChanges;
};

void PrintTo(const SuccessCase& c, std::ostream* os) {
  *os << c.name;
}

class F5xxRun : public LoaderRig, public ::testing::WithParamInterface<SuccessCase> {};

TEST_P(F5xxRun, ProgramsTheImageAndStartsIt) {
  const SuccessCase& c = GetParam();
  Start(kF5xx);
  WriteImage(kFirmware, c.image);
  Identified(kFirmware, msp430::kProcessorF5xx);
  update::RunStateAccess::Record(*engine).FlashErase2 = c.flashErase2;
  update::RunStateAccess::Record(*engine).MainFileMarked = c.marked;

  ProgramMainFirmware();

  EXPECT_TRUE(view.boxes.empty()) << view.boxes.front().text;
  ASSERT_EQ(view.finished, 1);
  ExpectFlashEquals(c.image);
  ExpectCleanEnd();
  const sim::Record& seen = instrument->Seen();
  EXPECT_EQ(seen.programStarts, 1);
  EXPECT_EQ(seen.startAddress, "0x5C40");  // the word at 0xFFFC
  EXPECT_EQ(seen.frames.count("change_baud_rate") ? seen.frames.at("change_baud_rate") : 0,
            c.speedChanges);
  EXPECT_EQ(seen.Count("A.5577"), 1);
  EXPECT_EQ(seen.Count("A.5588"), 1);
  EXPECT_EQ(engine->Record().BslPasswordWord, 0x5C00);  // the reset vector is remembered
}

INSTANTIATE_TEST_SUITE_P(
    Images, F5xxRun,
    ::testing::Values(
        SuccessCase{"VectorTableLast", {kCode, kVectors}, 0, false, 1},
        // The vector block is moved behind the high sections; the sweep starts above them.
        SuccessCase{"SectionsAbove64K",
                    {kCode, kVectors, {0x10000, Pattern(500, 7)}, {0x20000, Pattern(40, 1)}},
                    0x20000,
                    false,
                    1},
        SuccessCase{"MarkedFileStaysAt9600", {kCode, kVectors}, 0, true, 0},
        SuccessCase{"VectorTableFirst", {kVectors, kCode, {0x8000, Pattern(300, 4)}}, 0, false, 1}),
    [](const ::testing::TestParamInfo<SuccessCase>& info) { return info.param.name; });

TEST_F(LoaderRig, F5xxWrongPasswordEndsAsFailureWithTheFlashErased) {
  Start(kF5xx + "[protocol]\n" + "password_word = 0x1234\n");
  const std::vector<Section> image = {kCode, kVectors};
  WriteImage(kFirmware, image);
  Identified(kFirmware, msp430::kProcessorF5xx);
  auto loader = msp430::MakeLoader(Host(), update::Msp430Job::kMain, msp430::kProcessorF5xx);
  EXPECT_FALSE(loader->Execute(0, kFirmware, true, true).programmed);

  EXPECT_EQ(loader->GetErrorCode(), msp430::step::kPassword);
  ASSERT_FALSE(view.boxes.empty());
  EXPECT_EQ(view.boxes.back().text, messages::Text(messages::MSG_BOOTLOADER_ERROR, 0));
  const sim::Record& seen = instrument->Seen();
  EXPECT_GE(seen.wrongPasswords, 1);
  EXPECT_EQ(seen.programStarts, 0);
  EXPECT_EQ(seen.frames.count("rx_data_block"), 0u);
  ExpectMainFlashErased();  // the boot loader erased its main memory
  ExpectCleanEnd();
}

}  // namespace
}  // namespace msp430_test
