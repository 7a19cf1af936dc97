#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>

#include "tests/e2e/cli_process.h"
#include "tests/sim/sim_process.h"
#include "tests/support/temp_folder.h"

namespace e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct UpdateRun {
  CliResult cli;
  std::string state;  // the simulator's state at its end (JSON)
};

// The instrument on COM3 behind two silent ports; the package's firmware offers version.
UpdateRun UpdateWith(const std::string& profile, const std::string& version,
                     const std::vector<std::string>& args, const std::string& secondVersion = "") {
  simtest::SimProcess sim(profile,
                          {"--com", "3", "--silent-ports", "1,2", "--state", "state.json"});
  EXPECT_TRUE(sim.Ready()) << sim.Output();
  test::TempFolder package;
  WritePackage(package.Path(), version, secondVersion);
  UpdateRun run;
  run.cli = RunCli(package.Path(), sim.Folder(), args);
  sim.Stop(SIGTERM);
  run.state = simtest::ReadFile(sim.File("state.json"));
  return run;
}

TEST(CliEndToEnd, SameVersionDeclinedEndsWithTheEndCommand) {
  const UpdateRun run = UpdateWith("[identity]\nversion = 1.30\n", "1.30", {"--no"});
  EXPECT_EQ(run.cli.exitCode, 1) << run.cli.output;
  EXPECT_THAT(run.cli.output, HasSubstr("ist schon im Gerät"));
  EXPECT_THAT(run.cli.output, HasSubstr("[Antwort] Nein"));
  EXPECT_THAT(run.state, HasSubstr("\"A.1121\""));
  // The last line gives the reason.
  EXPECT_THAT(
      run.cli.output,
      HasSubstr(
          "update-cli: das Update wurde nicht abgeschlossen: Das Gerät wurde nicht verändert."));
}

TEST(CliEndToEnd, NewerInstrumentIsRefused) {
  const UpdateRun run = UpdateWith("[identity]\nversion = 1.40\n", "1.30", {"--yes"});
  EXPECT_EQ(run.cli.exitCode, 1) << run.cli.output;
  EXPECT_THAT(run.cli.output, HasSubstr("keine gültige Software-Version !!"));
  EXPECT_THAT(run.cli.output, HasSubstr("Die Software-Version 1.40 in Ihrem Gerät"));
}

TEST(CliEndToEnd, NothingToProgramFinishesWithSuccess) {
  // Equal main versions; the instrument's second version is above the offered one.
  const UpdateRun run = UpdateWith("[identity]\nversion = 1.30,2.10\n", "1.30", {}, "2.05");
  EXPECT_EQ(run.cli.exitCode, 0) << run.cli.output;
  EXPECT_THAT(run.cli.output, HasSubstr("Download erfolgreich ausgeführt !"));
  EXPECT_THAT(run.cli.output, HasSubstr("COM 3"));
  EXPECT_THAT(run.cli.output, HasSubstr("[status 1] Com3"));
  EXPECT_THAT(run.state, HasSubstr("\"A.1121\""));
}

// Each run is one line of the record in the user's data folder (here the package's, as RunCli
// sets XDG_DATA_HOME); --no-record leaves it out, --record names another file.
TEST(CliEndToEnd, EachRunIsEnteredInTheRecord) {
  simtest::SimProcess sim("[identity]\nversion = 1.30\nserial = 777\n",
                          {"--com", "3", "--silent-ports", "1,2"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  test::TempFolder package;
  WritePackage(package.Path(), "1.30");
  const std::filesystem::path record =
      package.Path() / "user-data" / "instrument-updater" / "runs.csv";
  const CliResult declined = RunCli(package.Path(), sim.Folder(), {"--no"});
  EXPECT_EQ(declined.exitCode, 1) << declined.output;
  RunCli(package.Path(), sim.Folder(), {"--no", "--no-record"});
  RunCli(package.Path(), sim.Folder(), {"--no", "--record", "other.csv"});
  const std::string lines = simtest::ReadFile(record);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2) << lines;  // header and one run
  EXPECT_THAT(lines, HasSubstr(",COM3,"));
  EXPECT_THAT(lines, HasSubstr(",777,41000.001,1.30,1.30,already current,,,"));
  EXPECT_THAT(simtest::ReadFile(package.Path() / "other.csv"), HasSubstr(",777,"));
}

// No port at all: said at once with the fix, nothing searched.
TEST(CliEndToEnd, NoSerialPortEndsAtOnceWithTheFix) {
  simtest::SimProcess sim("[identity]\n", {"--com", "3", "--silent-ports", "1,2"});
  ASSERT_TRUE(sim.Ready());
  sim.Stop(SIGTERM);  // the links are gone: no usable port at all
  test::TempFolder package;
  WritePackage(package.Path(), "1.30");
  const CliResult cli = RunCli(package.Path(), sim.Folder(), {});
  EXPECT_EQ(cli.exitCode, 2) << cli.output;
  EXPECT_THAT(cli.output, HasSubstr("[Fehler] Das Programm findet keine serielle Schnittstelle"));
  EXPECT_THAT(cli.output, HasSubstr("update-cli --list-ports"));
  EXPECT_THAT(cli.output, Not(HasSubstr("[status 0]")));
}

}  // namespace
}  // namespace e2e
