// Whole updates of an instrument that takes its firmware files over its command line:
// update-cli from a package folder against instrument-sim over pseudo-terminals, with the
// files the simulator stored compared with the package's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>

#include "tests/e2e/cli_process.h"
#include "tests/sim/sim_process.h"
#include "tests/support/temp_folder.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

std::string Pattern(size_t size, int seed) {
  std::string data(size, '\0');
  uint32_t x = 0x2545F491u * static_cast<uint32_t>(seed + 1);
  for (char& c : data) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>((x >> 16) | 0x01);  // no NUL: no stray UTF-16 strings
  }
  return data;
}

// A program file of size bytes whose resources end with the UTF-16 string "Version <v>".
std::string ProgramFile(size_t size, const std::string& version, int seed) {
  std::string tail;
  for (char c : "Version " + version) tail += std::string{c, '\0'};
  tail += std::string(2, '\0');
  std::string data = Pattern(size - tail.size(), seed);
  if (data.size() % 2) data.back() = '\0';  // the string starts on a unit
  return data + tail;
}

// A fixed modification time on even seconds (the stamp keeps seconds / 2).
fs::file_time_type Stamp(int minute) {
  std::tm local{};
  local.tm_year = 2024 - 1900;
  local.tm_mon = 2;
  local.tm_mday = 15;
  local.tm_hour = 13;
  local.tm_min = minute;
  local.tm_sec = 30;
  local.tm_isdst = -1;
  return std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(mktime(&local)));
}

struct Package {
  test::TempFolder folder;
  std::string main = ProgramFile(4500, "1.30", 1);
  std::string helper = ProgramFile(900, "0.50", 2);
  std::string startup = ProgramFile(700, "1.10", 3);
  std::string table = Pattern(2100, 4);

  Package() {
    folder.Write("Update.ini", "[Update]\r\nLanguage=0\r\nVersion=1.00\r\nBaud=2,3\r\nCom=\r\n");
    folder.Write("ProgDevice.ini",
                 "[Stativ 10]\r\nDevStartCmd=1\r\nDeviceNrDef=XXXXX\r\nDeviceNr=20363\r\n"
                 "DeviceName=Stativ 10\r\nProgFile1=\r\n"
                 "ProgFile2=Main.exe,helper.dll,StelvoStartUp.exe,sub\\table.bin\r\n"
                 "ProgFile3=\r\nSWKenn1=\r\nSWKenn2=Version\r\nSWKenn3=\r\nBootLoadKenn=\r\n"
                 "FlashErase1=\r\nFlashErase2=\r\nFlashErase3=\r\nProgDefFile=\r\nProzTyp=0\r\n"
                 "\r\nStarttextD=Start NAME\r\nStarttextE=Start NAME\r\n"
                 "AbbruchtextD=Abbruch !\\rNAME aus- und einschalten.\\rOk.\r\n"
                 "AbbruchtextE=Abort !\\rSwitch NAME off and on.\\rOk.\r\n");
    Put("Main.exe", main, 1);
    Put("helper.dll", helper, 2);
    Put("StelvoStartUp.exe", startup, 3);
    Put("sub/table.bin", table, 4);
    std::error_code error;
    fs::create_symlink(UPDATE_CLI_PATH, folder.Path() / "update-cli", error);
  }
  void Put(const std::string& name, const std::string& data, int minute) {
    const fs::path path = folder.Write(name, data);
    fs::last_write_time(path, Stamp(minute));
  }
};

struct Transfer {
  CliResult cli;
  std::string state;
  fs::path files;
};

// The instrument (version 1.20, start-up program 1.10) on COM2, COM1 silent.
class WinCeEndToEnd : public ::testing::Test {
 protected:
  Transfer Run(const std::string& profile) {
    simtest::SimProcess sim(
        "[identity]\nversion = 1.20\nstartup_version = 1.10\n[wince]\nreceiver = 1\n" + profile,
        {"--com", "2", "--silent-ports", "1", "--state", "state.json", "--files",
         received.Path().string()});
    EXPECT_TRUE(sim.Ready()) << sim.Output();
    Transfer run;
    run.cli = RunCli(package.folder.Path(), sim.Folder(), {"--yes"});
    sim.Stop(SIGTERM);
    run.state = simtest::ReadFile(sim.File("state.json"));
    return run;
  }
  void ExpectStored(const std::string& path, const std::string& data, int minute) {
    SCOPED_TRACE(path);
    EXPECT_EQ(simtest::ReadFile(received.Path() / path) == data, true);
    std::error_code error;
    EXPECT_EQ(fs::last_write_time(received.Path() / path, error), Stamp(minute));
  }

  Package package;
  test::TempFolder received;
};

TEST_F(WinCeEndToEnd, FilesArriveWithNamesAndTimesAndTheLineReturns) {
  const Transfer run = Run("");
  EXPECT_EQ(run.cli.exitCode, 0) << run.cli.output;
  EXPECT_THAT(run.cli.output, HasSubstr("Download erfolgreich ausgeführt !"));
  ExpectStored("Main.exe", package.main, 1);
  ExpectStored("helper.dll", package.helper, 2);
  ExpectStored("sub/table.bin", package.table, 4);
  // The start-up program of the instrument is as new as the offered one: not sent.
  EXPECT_FALSE(fs::exists(received.Path() / "StelvoStartUp.exe"));
  EXPECT_THAT(run.state, Not(HasSubstr("StelvoStartUp")));
  EXPECT_THAT(run.state, HasSubstr("\"name\": \"sub\\\\table.bin\""));
  // Up to 38400 once, back to the search's 9600 once; the clock that follows is heard there.
  EXPECT_THAT(run.state, HasSubstr("\"A.1000\", \"A.1300#38400\", \"A.1201#Main.exe,"));
  EXPECT_THAT(run.state, HasSubstr("\"A.1203\", \"A.1300#9600\", \"A.1600#"));
  EXPECT_EQ(run.state.find("A.1300#38400"), run.state.rfind("A.1300#38400"));
}

TEST_F(WinCeEndToEnd, RefusedBlockEndsAsAFailure) {
  const Transfer run = Run("bad_blocks = 2\nbad_block_answer = 1\n");
  EXPECT_EQ(run.cli.exitCode, 1) << run.cli.output;
  EXPECT_THAT(run.cli.output, HasSubstr("Das Gerät hat einen Datenblock abgewiesen"));
  EXPECT_THAT(run.cli.output, HasSubstr("Abbruch !"));
  EXPECT_THAT(run.cli.output, Not(HasSubstr("erfolgreich")));
  EXPECT_THAT(run.state, Not(HasSubstr("A.1203")));
}

// The clock command after the transfer goes unanswered: a failure in bounded time.
TEST_F(WinCeEndToEnd, UnansweredClockEndsAsAFailure) {
  const auto start = std::chrono::steady_clock::now();
  const Transfer run = Run("[replies]\nA.1600 = none\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(40));
  EXPECT_EQ(run.cli.exitCode, 1) << run.cli.output;
  EXPECT_THAT(run.cli.output, HasSubstr("nach der Programmierung nicht zurückgemeldet"));
  EXPECT_THAT(run.cli.output, Not(HasSubstr("erfolgreich")));
  EXPECT_THAT(run.state, HasSubstr("A.1600#"));
}

// Every answer of the identification arrives twice: each counts once, and the run programs the
// instrument as an undisturbed one does.
TEST_F(WinCeEndToEnd, DoubledIdentificationAnswersCountOnce) {
  const Transfer run = Run("[faults]\nduplicate = 1,2,3,4,5\n");
  EXPECT_EQ(run.cli.exitCode, 0) << run.cli.output;
  EXPECT_THAT(run.cli.output, HasSubstr("Download erfolgreich ausgeführt !"));
  ExpectStored("Main.exe", package.main, 1);
  // Each identification command once, then the transfer.
  EXPECT_THAT(run.state, HasSubstr("\"A.1000\", \"A.2003\", \"A.2000\", \"A.2001\", "
                                   "\"A.4001\", \"A.2100\", \"A.1000\", \"A.1300#38400\""));
}

}  // namespace
}  // namespace e2e
