// Whole updates through the MSP430 boot loaders: update-cli from a package folder against
// instrument-sim over pseudo-terminals, ending with the simulator's flash compared with the image.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/e2e/image_update.h"

namespace e2e {
namespace {

using ::testing::HasSubstr;

const Section kVectors = VectorTable(0xFFE0, 0x1100);

struct SuccessCase {
  const char* name;
  std::string profile;
  std::vector<Section> image;
  std::string prozTyp;
  std::string flashErase2;
  bool marked;
  bool speedChange;
  bool patch;
};

void PrintTo(const SuccessCase& c, std::ostream* os) {
  *os << c.name;
}

class LoaderEndToEnd : public ::testing::TestWithParam<SuccessCase> {};

TEST_P(LoaderEndToEnd, ProgramsTheImageAndReportsSuccess) {
  const SuccessCase& c = GetParam();
  const std::string patch = c.patch ? TiTxt({{0x0220, Pattern(300, 0x40)}}) : "";
  const Update update =
      RunUpdate(c.profile, ImagePackage{TiTxt(c.image), c.prozTyp, c.flashErase2, c.marked}, patch);
  EXPECT_EQ(update.cli.exitCode, 0) << update.cli.output;
  EXPECT_THAT(update.cli.output, HasSubstr("Download erfolgreich ausgeführt !"));
  EXPECT_THAT(update.cli.output, HasSubstr("COM 2"));
  ExpectFlashHolds(update, c.image);
  EXPECT_EQ(update.state.find("change_baud_rate") != std::string::npos, c.speedChange)
      << update.state;
  EXPECT_THAT(update.state, HasSubstr("\"A.1121\""));  // the end command after the new greeting
}

const std::string kClassic = "[bootloader]\ntarget = classic\nversion = ";
const std::string kF5xx = "[bootloader]\ntarget = f5xx\n";

// Cases the repeated update takes up as well.
const SuccessCase kClassic160{"Classic160SpeedChangeVectorsLast",
                              kClassic + "1.60\n",
                              {kVersion, {0x1100, Pattern(700, 1)}, kVectors},
                              "149",
                              "",
                              false,
                              true,
                              false};
const SuccessCase kClassic110WithPatch{"Classic110WithPatch",
                                       kClassic + "1.10\n",
                                       {kVersion, {0x1100, Pattern(300, 2)}, kVectors},
                                       "149",
                                       "",
                                       false,
                                       false,
                                       true};
const SuccessCase kF5xxAt5C00{"F5xxAt5C00VectorsLast",
                              kF5xx,
                              {kVersion, {0x5C00, Pattern(600, 7)}, VectorTable(0xFF80, 0x5C00)},
                              "5438",
                              "",
                              false,
                              true,
                              false};

INSTANTIATE_TEST_SUITE_P(
    Images, LoaderEndToEnd,
    ::testing::Values(
        kClassic160, kClassic110WithPatch,
        SuccessCase{"Classic213AboveFFFF",
                    kClassic + "2.13\nchip_id = 0xF26F\nbaud_clock = 0x808C\nflash_end = 0x1FFFF\n",
                    {kVersion,
                     {0x1100, Pattern(300, 3)},
                     kVectors,
                     {0x10000, Pattern(300, 5)},
                     {0x1F000, Pattern(64, 6)}},
                    "149",
                    "0x1F000",
                    false,
                    true,
                    false},
        kF5xxAt5C00,
        SuccessCase{"F5xxAbove10000",
                    kF5xx,
                    {kVersion,
                     {0x5C00, Pattern(200, 8)},
                     VectorTable(0xFF80, 0x5C00),
                     {0x10000, Pattern(400, 9)}},
                    "5438",
                    "0x10200",
                    false,
                    true,
                    false},
        SuccessCase{"F5xxSweepFromAbove10000",
                    kF5xx,
                    {kVersion,
                     {0x5C00, Pattern(200, 10)},
                     VectorTable(0xFF80, 0x5C00),
                     {0x12000, Pattern(100, 11)}},
                    "5438",
                    "0x12200",
                    false,
                    true,
                    false},
        SuccessCase{"F5xxMarkedStaysAt9600",
                    kF5xx,
                    {kVersion, {0x5C00, Pattern(200, 12)}, VectorTable(0xFF80, 0x5C00)},
                    "5438",
                    "",
                    true,
                    false,
                    false}),
    [](const ::testing::TestParamInfo<SuccessCase>& info) { return info.param.name; });

// The instrument keeps the image's vector table, and that table is the next update's password:
// with every vector but reset left erased, the same instrument takes the next update too.
class RepeatedUpdate : public ::testing::TestWithParam<SuccessCase> {};

TEST_P(RepeatedUpdate, UpdatesTheSameInstrumentTwice) {
  const SuccessCase& c = GetParam();
  const std::string patch = c.patch ? TiTxt({{0x0220, Pattern(300, 0x40)}}) : "";
  const Updates update = RunUpdates(
      c.profile, ImagePackage{TiTxt(c.image), c.prozTyp, c.flashErase2, c.marked}, 2, patch);
  ASSERT_EQ(update.runs.size(), 2u);
  for (const CliResult& run : update.runs) {
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("Download erfolgreich ausgeführt !"));
    EXPECT_THAT(run.output, Not(HasSubstr("Interrupt-Vektoren")));  // no warning
  }
  ExpectFlashHolds(update, c.image);
}

INSTANTIATE_TEST_SUITE_P(Images, RepeatedUpdate,
                         ::testing::Values(kClassic160, kClassic110WithPatch, kF5xxAt5C00),
                         [](const ::testing::TestParamInfo<SuccessCase>& info) {
                           return info.param.name;
                         });

struct FailureCase {
  const char* name;
  std::string profile;
  std::vector<Section> image;
  std::string prozTyp;
  const char* message;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.name;
}

class LoaderFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(LoaderFailure, EndsAsAFailure) {
  const FailureCase& c = GetParam();
  const Update update = RunUpdate(c.profile, ImagePackage{TiTxt(c.image), c.prozTyp, "", false});
  EXPECT_EQ(update.cli.exitCode, 1) << update.cli.output;
  EXPECT_THAT(update.cli.output, HasSubstr(c.message));
  EXPECT_THAT(update.cli.output, Not(HasSubstr("erfolgreich")));
  EXPECT_THAT(update.cli.output, HasSubstr("Abbruch !"));  // the abort text of the package
}

const std::vector<Section> kClassicImage = {kVersion, {0x1100, Pattern(300, 1)}, kVectors};

INSTANTIATE_TEST_SUITE_P(
    Faults, LoaderFailure,
    ::testing::Values(
        FailureCase{"RepeatedRejections", kClassic + "1.60\n[bootloader_faults]\nnak = 3,4,5,6,7\n",
                    kClassicImage, "149", "Fehler im Bootloader !!"},
        FailureCase{"NoBootLoader", "[bootloader]\ntarget = none\n", kClassicImage, "149",
                    "Bootloader im Zielgerät nicht verfügbar!!"},
        FailureCase{"ReadBackDifference",
                    kClassic + "1.60\n",
                    {kVersion, {0x2000, Pattern(32, 0x11)}, {0x2000, Pattern(32, 0x66)}, kVectors},
                    "149",
                    "Fehler im Bootloader !!"},
        FailureCase{"Disconnect", kClassic + "1.60\n[bootloader_faults]\ndisconnect = 5\n",
                    kClassicImage, "149", "Fehler im Bootloader !!"},
        FailureCase{"F5xxWrongPassword",
                    kF5xx + "[protocol]\npassword_word = 0x1234\n",
                    {kVersion, {0x5C00, Pattern(200, 12)}, VectorTable(0xFF80, 0x5C00)},
                    "5438",
                    "Fehler im Bootloader !!"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

}  // namespace
}  // namespace e2e
