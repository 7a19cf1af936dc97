// Firmware through an external loader program, end to end: update-cli from a package folder
// whose loader program is the stand-in, against instrument-sim over pseudo-terminals. The
// stand-in opens the instrument's port itself and leaves a marker the instrument records, so the
// port must be free while it runs; afterwards the updater talks on the port again.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <chrono>

#include <fstream>

#include "tests/e2e/cli_process.h"
#include "tests/sim/sim_process.h"
#include "tests/support/temp_folder.h"

namespace e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kMarker[] = "A.7777#LOADER";

// A package for an instrument of device kind 0 (a ".mot" firmware) offering version 1.30; its
// loader program HEXLoad_8N1 is the stand-in.
void WriteKind0Package(const test::TempFolder& folder) {
  folder.Write("Update.ini", "[Update]\r\nLanguage=0\r\nVersion=1.00\r\nBaud=2,3\r\nCom=\r\n");
  folder.Write("ProgDevice.ini",
               "[pH 340]\r\nDevStartCmd=1\r\nDeviceNrDef=XXXXX\r\nDeviceNr=20363\r\n"
               "DeviceName=pH 340\r\nProgFile1=\r\nProgFile2=Demo340.mot\r\nProgFile3=\r\n"
               "SWKenn1=\r\nSWKenn2=@F000\\r\\n\r\nSWKenn3=\r\nBootLoadKenn=\r\nFlashErase1=\r\n"
               "FlashErase2=\r\nFlashErase3=\r\nProgDefFile=\r\nProzTyp=149\r\n\r\n"
               "StarttextD=Start NAME\r\nStarttextE=Start NAME\r\n"
               "AbbruchtextD=Abbruch !\\rNAME aus- und einschalten.\\rOk.\r\n"
               "AbbruchtextE=Abort !\\rSwitch NAME off and on.\\rOk.\r\n");
  folder.Write("Demo340.mot", "@F000\r\n31 2E 33 30 00\r\n");
  std::filesystem::create_symlink(UPDATE_CLI_PATH, folder.Path() / "update-cli");
  std::filesystem::create_symlink(LOADER_STAND_IN_PATH, folder.Path() / "HEXLoad_8N1");
}

struct LoaderRun {
  CliResult cli;
  std::string record;  // the stand-in's runs, one line each
  std::string state;   // the instrument's record
};

// The instrument answers the switch to its loader with a prompt, which starts the program,
// and its end command after the success message with a prompt too: the finished run stays
// finished.
constexpr char kAnswersTheSwitch[] = "[identity]\nversion = 1.20\n[replies]\nA.1200 = prompt\n";

LoaderRun RunWithStandIn(const std::string& exits, const std::string& profile = kAnswersTheSwitch) {
  simtest::SimProcess sim(profile, {"--com", "2", "--silent-ports", "1", "--state", "state.json"});
  EXPECT_TRUE(sim.Ready()) << sim.Output();
  test::TempFolder folder;
  WriteKind0Package(folder);
  const std::filesystem::path record = folder.Path() / "stand-in.txt";
  LoaderRun run;
  run.cli = RunCli(folder.Path(), sim.Folder(), {"--yes"}, 60,
                   {"STAND_IN_RECORD=" + record.string(), "STAND_IN_EXITS=" + exits,
                    std::string("STAND_IN_MARKER=") + kMarker});
  sim.Stop(SIGTERM);
  run.record = simtest::ReadFile(record);
  run.state = simtest::ReadFile(sim.File("state.json"));
  return run;
}

TEST(ExternalLoaderEndToEnd, TheProgramHasThePortWhileItRunsAndTheRunSucceeds) {
  const LoaderRun run = RunWithStandIn("0");
  EXPECT_EQ(run.cli.exitCode, 0) << run.cli.output;
  EXPECT_THAT(run.cli.output, HasSubstr("Download erfolgreich ausgeführt !"));
  // One run, told the firmware, the instrument's port and its device; the port was free.
  EXPECT_THAT(run.record, HasSubstr("Demo340.mot][-com2][-baudrate38400][-auto][-exit]"));
  EXPECT_THAT(run.record, HasSubstr("/COM2\n"));
  EXPECT_THAT(run.record, Not(HasSubstr("port-busy")));
  // The instrument heard the program, then the updater again on the port it took back.
  const size_t marker = run.state.find(kMarker);
  ASSERT_NE(marker, std::string::npos) << run.state;
  EXPECT_NE(run.state.find("\"A.1600#", marker), std::string::npos) << run.state;
}

TEST(ExternalLoaderEndToEnd, AProgramThatFailsEndsTheRunAsAFailure) {
  const LoaderRun run = RunWithStandIn("2");
  EXPECT_EQ(run.cli.exitCode, 1) << run.cli.output;
  EXPECT_THAT(run.cli.output, HasSubstr("Fehlercode 2"));
  EXPECT_THAT(run.cli.output, HasSubstr("Abbruch !"));
  EXPECT_THAT(run.cli.output, Not(HasSubstr("erfolgreich")));
  EXPECT_THAT(run.state, HasSubstr(kMarker));
}

// The instrument leaves a send unanswered after which the run waits for it: the run ends as a
// failure that says what to do, well before the console's own time limit.
TEST(ExternalLoaderEndToEnd, AnUnansweredSendEndsTheRunAsAFailureInBoundedTime) {
  struct Case {
    const char* name;
    std::string profile;
    const char* message;
  };
  const Case cases[] = {
      // The switch to the boot loader is refused ("?"): the program never runs.
      {"switch refused", "[identity]\nversion = 1.20\n",
       "hat den Wechsel in seinen Bootloader nicht bestätigt"},
      {"switch unanswered", "[identity]\nversion = 1.20\n[replies]\nA.1200 = none\n",
       "hat den Wechsel in seinen Bootloader nicht bestätigt"},
      // After the program the clock command goes unanswered.
      {"clock unanswered", std::string(kAnswersTheSwitch) + "A.1600 = none\n",
       "nach der Programmierung nicht zurückgemeldet"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto start = std::chrono::steady_clock::now();
    const LoaderRun run = RunWithStandIn("0", c.profile);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(40));
    EXPECT_EQ(run.cli.exitCode, 1) << run.cli.output;
    EXPECT_THAT(run.cli.output, HasSubstr(c.message));
    EXPECT_THAT(run.cli.output, Not(HasSubstr("erfolgreich")));
  }
}

}  // namespace
}  // namespace e2e
