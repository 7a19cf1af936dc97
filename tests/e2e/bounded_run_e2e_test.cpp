// Runs that must end as failures, and in bounded time, however the instrument behaves: update-cli
// from a package folder against instrument-sim over pseudo-terminals.
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

// The offered version 1.30 at 0xF000, a program at 0x1100 and its vector table.
const std::vector<Section> kImage = {
    kVersion, {0x1100, Pattern(300, 1)}, VectorTable(0xFFE0, 0x1100)};

// Well above what each of these runs needs with UPDATE_TIME_SCALE=10 (a few seconds), and
// below RunCli's own limit, so a run without an end shows as such.
constexpr int kLimitSeconds = 40;

struct BoundCase {
  const char* name;
  std::string profile;
  const char* message;
  bool abortText;  // the package's abort text follows (a failed programming)
};

void PrintTo(const BoundCase& c, std::ostream* os) {
  *os << c.name;
}

class BoundedRunEndToEnd : public ::testing::TestWithParam<BoundCase> {};

TEST_P(BoundedRunEndToEnd, EndsAsAFailureInBoundedTime) {
  const BoundCase& c = GetParam();
  simtest::SimProcess sim("[identity]\nversion = 1.20\n" + c.profile,
                          {"--com", "2", "--silent-ports", "1"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  test::TempFolder folder;
  WritePackage(folder.Path(), ImagePackage{TiTxt(kImage), "149", "", false});

  const auto start = std::chrono::steady_clock::now();
  const CliResult cli = RunCli(folder.Path(), sim.Folder(), {"--yes"}, kLimitSeconds + 20);
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
          .count();
  sim.Stop(SIGTERM);

  EXPECT_LT(seconds, kLimitSeconds) << cli.output;
  EXPECT_EQ(cli.exitCode, 1) << cli.output;
  EXPECT_THAT(cli.output, HasSubstr(c.message));
  EXPECT_THAT(cli.output, Not(HasSubstr("erfolgreich")));
  EXPECT_EQ(cli.output.find("Abbruch !") != std::string::npos, c.abortText) << cli.output;
}

const std::string kClassic = "[bootloader]\ntarget = classic\n";

INSTANTIATE_TEST_SUITE_P(
    Faults, BoundedRunEndToEnd,
    ::testing::Values(
        // The instrument refuses and prompts in one write: the prompt must not finish the run.
        BoundCase{"RefusalAndPromptInOneRead", kClassic + "[replies]\nA.5577 = ?+prompt\n",
                  "Bootloader im Zielgerät nicht verfügbar", true},
        BoundCase{"EntryAnsweredWithPrompts", kClassic + "[replies]\nA.5577 = prompt\n",
                  "beantwortet den Startbefehl nur mit der Eingabeaufforderung", true},
        // Noise every 200 ms keeps restarting the (scaled) 500 ms answer time-out.
        BoundCase{
            "NoiseInBootLoader",
            kClassic + "noise_every_ms = 200\n[bootloader_faults]\nsilent = 1,2,3,4,5,6,7,8,9,10\n",
            "Störungen auf der Leitung", true},
        BoundCase{"NoGreetingAfterProgramming", kClassic + "[protocol]\nafter_program = none\n",
                  "nach der Programmierung nicht zurückgemeldet", false}),
    [](const ::testing::TestParamInfo<BoundCase>& info) { return info.param.name; });

}  // namespace
}  // namespace e2e
