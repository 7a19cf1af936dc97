// update-cli's own deadline (--timeout): it ends a run that is still going, from inside the
// waits of the programming, with its own exit code and never as a success.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>

#include "tests/e2e/cli_process.h"
#include "tests/e2e/image_update.h"
#include "tests/msp430/firmware_image.h"
#include "tests/sim/sim_process.h"
#include "tests/support/temp_folder.h"

namespace e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(ConsoleDeadlineEndToEnd, ARunStillGoingAtTheDeadlineEndsWithTheTimeoutCode) {
  // A whole update through the classic boot loader takes several seconds even at
  // UPDATE_TIME_SCALE=10, so a deadline of one second falls inside it.
  const std::vector<Section> image = {
      kVersion, {0x1100, Pattern(4000, 1)}, VectorTable(0xFFE0, 0x1100)};
  simtest::SimProcess sim("[identity]\nversion = 1.20\n[bootloader]\ntarget = classic\n",
                          {"--com", "2"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  test::TempFolder folder;
  WritePackage(folder.Path(), ImagePackage{TiTxt(image), "149", "", false});

  const auto start = std::chrono::steady_clock::now();
  const CliResult cli = RunCli(folder.Path(), sim.Folder(), {"--yes", "--timeout", "1"}, 60);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  sim.Stop(SIGTERM);

  EXPECT_EQ(cli.exitCode, 3) << cli.output;
  EXPECT_THAT(cli.output,
              HasSubstr("update-cli: nach 1 Sekunden kein Ende: das Programm gibt auf."));
  EXPECT_THAT(cli.output, Not(HasSubstr("das Update ist abgeschlossen")));
  EXPECT_GE(elapsed, std::chrono::seconds(1));
  EXPECT_LT(elapsed, std::chrono::seconds(20)) << cli.output;
}

}  // namespace
}  // namespace e2e
