// Whole updates through the Basic-Loader terminal: update-cli from a package folder against
// instrument-sim over pseudo-terminals. The instrument's secondary firmware is older, so the run
// switches it to its Basic-Loader, streams the S-record file of its variant and ends when the
// new firmware greets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>

#include "tests/e2e/cli_process.h"
#include "tests/e2e/terminal_package.h"
#include "tests/sim/sim_process.h"
#include "tests/sim/ti_txt.h"
#include "tests/support/temp_folder.h"

namespace e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const std::string kInstrument =
    "[identity]\ndevice = 20363.000\nversion = 1.30,2.05\n"
    "[protocol]\nafter_program = 31\nrestart_prompt_ms = 300\n"
    "[bootloader]\ntarget = basic\n";

struct TermRun {
  CliResult cli;
  std::string state;
  std::map<uint32_t, uint8_t> flash;
  TermFiles files;
  double seconds = 0;
};

TermRun RunTerminal(const std::string& profile, bool withTermFiles) {
  simtest::SimProcess sim(kInstrument + profile, {"--com", "2", "--silent-ports", "1", "--state",
                                                  "state.json", "--dump", "flash.txt"});
  EXPECT_TRUE(sim.Ready()) << sim.Output();
  test::TempFolder folder;
  TermRun run;
  run.files = WriteTerminalPackage(folder.Path(), withTermFiles, UPDATE_CLI_PATH);
  const auto start = std::chrono::steady_clock::now();
  run.cli = RunCli(folder.Path(), sim.Folder(), {"--yes"}, 90);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  sim.Stop(SIGTERM);
  run.state = simtest::ReadFile(sim.File("state.json"));
  simtest::ParseTiTxt(simtest::ReadFile(sim.File("flash.txt")), run.flash);
  return run;
}

struct SuccessCase {
  const char* name;
  std::string profile;
  bool high;  // variant "0": L3_TermH.A37
};

void PrintTo(const SuccessCase& c, std::ostream* os) {
  *os << c.name;
}

class TerminalEndToEnd : public ::testing::TestWithParam<SuccessCase> {};

TEST_P(TerminalEndToEnd, ProgramsTheFileOfTheVariant) {
  const SuccessCase& c = GetParam();
  const TermRun run = RunTerminal(c.profile, true);
  EXPECT_EQ(run.cli.exitCode, 0) << run.cli.output;
  EXPECT_THAT(run.cli.output, HasSubstr("Programm erfolgreich überspielt !"));
  EXPECT_THAT(run.cli.output, HasSubstr("Download erfolgreich ausgeführt !"));
  EXPECT_EQ(std::count(run.cli.output.begin(), run.cli.output.end(), '\a'), 1)
      << "one bell at the finish";
  // The flash holds exactly the file's data: the old firmware was erased, nothing else written.
  ExpectFlashIs(run.flash, c.high ? run.files.high : run.files.low);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, TerminalEndToEnd,
    ::testing::Values(SuccessCase{"Variant0HighFileTwoBanks",
                                  "flash_banks = 2\nprogrammed = bytes\n[identity]\nvariant = 0\n",
                                  true},
                      SuccessCase{"Variant1LowFileLoader101",
                                  "basic_version = 1.01\n[identity]\nvariant = 1\n", false}),
    [](const ::testing::TestParamInfo<SuccessCase>& info) { return info.param.name; });

TEST(TerminalFailure, DefectiveRecordAborts) {
  // The loader's flash ends below the file's addresses: its first record is defective.
  const TermRun run =
      RunTerminal("flash_start = 0xC0000\nflash_end = 0xDFFFF\n[identity]\nvariant = 1\n", true);
  EXPECT_EQ(run.cli.exitCode, 1) << run.cli.output;
  EXPECT_THAT(run.cli.output, HasSubstr("Fehler in der Datenübertragung !!"));
  EXPECT_THAT(run.cli.output, HasSubstr("Programmierung abgebrochen !"));
  EXPECT_THAT(run.cli.output, Not(HasSubstr("erfolgreich")));
}

// The new firmware of this instrument keeps the loader's 19200 baud while the run listens at the
// line it found the instrument on: the run cannot hear it and ends as a failure that says so,
// within the greeting's bound, never with the success text.
TEST(TerminalFailure, AGreetingAtTheLoadersSpeedIsNotTakenForSuccess) {
  const TermRun run = RunTerminal("greet_at_loader_speed = true\n[identity]\nvariant = 1\n", true);
  EXPECT_EQ(run.cli.exitCode, 1) << run.cli.output;
  EXPECT_THAT(run.cli.output, HasSubstr("Programm erfolgreich überspielt !"));
  EXPECT_THAT(run.cli.output, HasSubstr("nach der Programmierung nicht zurückgemeldet"));
  EXPECT_THAT(run.cli.output, Not(HasSubstr("Download erfolgreich ausgeführt")));
  ExpectFlashIs(run.flash, run.files.low);
  EXPECT_LT(run.seconds, 30);
}

TEST(TerminalFailure, MissingFileEndsTheRunInBoundedTime) {
  const TermRun run = RunTerminal("[identity]\nvariant = 0\n", false);
  EXPECT_EQ(run.cli.exitCode, 1) << run.cli.output;
  EXPECT_THAT(run.cli.output, HasSubstr("L3_TermH.A37 konnte nicht geöffnet werden"));
  EXPECT_THAT(run.cli.output, Not(HasSubstr("erfolgreich")));
  EXPECT_LT(run.seconds, 30);
}

}  // namespace
}  // namespace e2e
