// update-cli against instrument-sim where the desktop and the line get in the way: a German
// locale, and a port whose device goes away during the search.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <future>
#include <regex>
#include <thread>

#include "tests/e2e/cli_process.h"
#include "tests/e2e/image_update.h"
#include "tests/msp430/firmware_image.h"
#include "tests/serial/pty_fixture.h"
#include "tests/sim/sim_process.h"
#include "tests/support/temp_folder.h"

namespace e2e {
namespace {

using ::testing::HasSubstr;

const std::string kClassic160 =
    "[identity]\nversion = 1.20\n[bootloader]\ntarget = classic\nversion = 1.60\n";
// The new firmware greets with answer 30: the updater then sets the instrument's clock.
const std::string kGreetsForTheClock = "[protocol]\nafter_program = 30\n";

std::string ClassicFirmware() {
  return TiTxt({kVersion, {0x1100, Pattern(300, 1)}, VectorTable(0xFFE0, 0x1100)});
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(WireEndToEnd, GermanDesktopLocaleKeepsTheSpeedChangeAndTheClock) {
  simtest::SimProcess sim(kClassic160 + kGreetsForTheClock,
                          {"--com", "2", "--silent-ports", "1", "--state", "state.json"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  test::TempFolder package;
  WritePackage(package.Path(), ImagePackage{ClassicFirmware(), "149", "", false});
  const CliResult cli = RunCli(package.Path(), sim.Folder(), {"--yes"}, 120,
                               {"LANG=de_DE.UTF-8", "LC_ALL=de_DE.UTF-8"});
  sim.Stop(SIGTERM);
  const std::string state = simtest::ReadFile(sim.File("state.json"));
  EXPECT_EQ(cli.exitCode, 0) << cli.output;
  EXPECT_THAT(cli.output, HasSubstr("Download erfolgreich ausgeführt !"));
  // The boot loader's "1.60" was read as 1.60: the line went to 38400.
  EXPECT_THAT(state, HasSubstr("change_baud_rate"));
  // The clock went out as whole seconds, a plain number.
  std::smatch clock;
  ASSERT_TRUE(std::regex_search(state, clock, std::regex(R"re("clock"\s*:\s*"([^"]*)")re")))
      << state;
  EXPECT_TRUE(std::regex_match(clock[1].str(), std::regex(R"(\d+)"))) << clock[1] << state;
}

TEST(WireEndToEnd, APortLostDuringTheSearchIsLeftOutAndTheInstrumentFound) {
  simtest::SimProcess sim(kClassic160, {"--com", "2", "--state", "state.json"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  // COM1 is a line whose device the test pulls out during the first search step.
  ptytest::Pty lost;
  std::filesystem::create_symlink(lost.SlavePath(), sim.Folder() / "COM1");
  test::TempFolder package;
  WritePackage(package.Path(), ImagePackage{ClassicFirmware(), "149", "", false});
  // Three rates: the instrument listens at the last, 9600.
  std::ofstream(package.Path() / "Update.ini", std::ios::binary)
      << "[Update]\r\nLanguage=0\r\nVersion=1.00\r\nBaud=1,2,3\r\nCom=\r\n";

  auto run = std::async(std::launch::async,
                        [&] { return RunCli(package.Path(), sim.Folder(), {"--yes"}, 60); });
  // Until the program opens the line, the master reports a hang-up at once: poll by time.
  std::string probe;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (probe.find("A.1") == std::string::npos && std::chrono::steady_clock::now() < end) {
    const std::string got = lost.Receive(64, 50);
    if (got.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    probe += got;
  }
  lost.CloseMaster();
  const CliResult cli = run.get();
  ASSERT_THAT(probe, HasSubstr("A.1")) << cli.output;
  sim.Stop(SIGTERM);

  EXPECT_EQ(cli.exitCode, 0) << cli.output;
  EXPECT_THAT(cli.output, HasSubstr("[status 1] Com2"));
  EXPECT_EQ(Occurrences(cli.output, "Die Schnittstelle COM1 ist nicht mehr vorhanden"), 1u)
      << cli.output;
  // Refused settings of the dead line: at most one box.
  EXPECT_LE(Occurrences(cli.output, "[Fehler]"), 1u) << cli.output;
}

}  // namespace
}  // namespace e2e
