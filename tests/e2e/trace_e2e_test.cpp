// update-cli --trace: the debug log of a run, written to a file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include "tests/e2e/cli_process.h"
#include "tests/sim/sim_process.h"
#include "tests/support/temp_folder.h"

namespace e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(CliTrace, HoldsEveryCommandAndAnswer) {
  simtest::SimProcess sim("[identity]\nversion = 1.30\n", {"--com", "3", "--silent-ports", "1,2"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  test::TempFolder package;
  WritePackage(package.Path(), "1.30");
  const std::filesystem::path trace = package.Path() / "trace.txt";
  const CliResult cli = RunCli(package.Path(), sim.Folder(), {"--no", "--trace", trace.string()});
  sim.Stop(SIGTERM);
  EXPECT_EQ(cli.exitCode, 1) << cli.output;
  const std::string lines = simtest::ReadFile(trace);
  // The identification commands sent, and the instrument's answers marked as received.
  for (const char* command : {"A.2000", "A.2001", "A.4001"}) {
    EXPECT_THAT(lines, HasSubstr(command)) << lines;
  }
  EXPECT_THAT(lines, HasSubstr("\nI.21#1.30 <-\n")) << lines;
  EXPECT_THAT(lines, HasSubstr("\nA.1121\n")) << lines;
}

TEST(CliTrace, WithoutTraceNoDebugLog) {
  simtest::SimProcess sim("[identity]\nversion = 1.30\n", {"--com", "3", "--silent-ports", "1,2"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  test::TempFolder package;
  WritePackage(package.Path(), "1.30");
  const CliResult cli = RunCli(package.Path(), sim.Folder(), {"--no"});
  sim.Stop(SIGTERM);
  EXPECT_THAT(cli.output, Not(HasSubstr(" <-"))) << cli.output;
}

TEST(CliTrace, UnwritableTraceFileStopsBeforeTheRun) {
  test::TempFolder package;
  WritePackage(package.Path(), "1.30");
  const CliResult cli =
      RunCli(package.Path(), package.Path(), {"--trace", (package.Path() / "no/dir/t").string()});
  EXPECT_EQ(cli.exitCode, 2) << cli.output;
  EXPECT_THAT(cli.output, HasSubstr("the trace file")) << cli.output;
}

}  // namespace
}  // namespace e2e
