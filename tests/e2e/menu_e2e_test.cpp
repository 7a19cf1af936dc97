// Whole runs of update-cli against instrument-sim over pseudo-terminals for the handlers beside
// the state machine: bench instruments found waiting in their boot loader, the further files of
// a package, the air-pressure value, and OK pressed again after a failed programming.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/e2e/image_update.h"

namespace e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

void Write(const std::filesystem::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

std::string DeviceSection(const std::string& nr, const std::string& progFile2,
                          const std::string& progDefFile, const std::string& prozTyp) {
  return "[" + nr + "]\r\nDevStartCmd=1\r\nDeviceNrDef=" + nr + "\r\nDeviceNr=" + nr +
         "\r\nDeviceName=Bench " + nr + "\r\nProgFile1=\r\nProgFile2=" + progFile2 +
         "\r\nProgFile3=\r\nSWKenn1=\r\nSWKenn2=@F000\\r\\n\r\nSWKenn3=\r\nBootLoadKenn=\r\n"
         "FlashErase1=\r\nFlashErase2=\r\nFlashErase3=\r\nProgDefFile=" +
         progDefFile + "\r\nProzTyp=" + prozTyp + "\r\n\r\n";
}

// A package folder: Update.ini, ProgDevice.ini with the sections and the link to update-cli.
void WriteFolder(const std::filesystem::path& folder, const std::string& sections) {
  Write(folder / "Update.ini", "[Update]\r\nLanguage=0\r\nVersion=1.00\r\nBaud=2,3\r\nCom=\r\n");
  Write(folder / "ProgDevice.ini",
        sections +
            "StarttextD=Start NAME\r\nStarttextE=Start NAME\r\n"
            "AbbruchtextD=Abbruch !\\rNAME aus- und einschalten.\\rOk.\r\n"
            "AbbruchtextE=Abort !\\rSwitch NAME off and on.\\rOk.\r\n");
  std::error_code error;
  std::filesystem::create_symlink(UPDATE_CLI_PATH, folder / "update-cli", error);
}

struct SimRun {
  CliResult cli;
  std::string state;
  std::map<uint32_t, uint8_t> flash;
};

// The instrument on COM2 (COM1 silent) with the profile; update-cli --yes plus args.
SimRun RunIn(const test::TempFolder& package, const std::string& profile,
             const std::vector<std::string>& cliArgs = {},
             const std::vector<std::string>& simArgs = {}) {
  std::vector<std::string> args = {"--com",   "2",          "--silent-ports", "1",
                                   "--state", "state.json", "--trace",        "trace.txt"};
  args.insert(args.end(), simArgs.begin(), simArgs.end());
  simtest::SimProcess sim(profile, args);
  EXPECT_TRUE(sim.Ready()) << sim.Output();
  std::vector<std::string> cli = {"--yes"};
  cli.insert(cli.end(), cliArgs.begin(), cliArgs.end());
  SimRun run;
  run.cli = RunCli(package.Path(), sim.Folder(), cli, 120);
  sim.Stop(SIGTERM);
  run.state = simtest::ReadFile(sim.File("state.json"));
  if (run.cli.exitCode != 0) {
    const std::string trace = simtest::ReadFile(sim.File("trace.txt"));
    run.cli.output += "\n--- instrument's trace (end) ---\n" +
                      trace.substr(trace.size() > 3000 ? trace.size() - 3000 : 0);
  }
  if (std::filesystem::exists(sim.File("flash.txt")))
    simtest::ParseTiTxt(simtest::ReadFile(sim.File("flash.txt")), run.flash);
  return run;
}

void ExpectFlashHolds(const SimRun& run, const std::vector<Section>& image) {
  Update update;
  update.flash = run.flash;
  e2e::ExpectFlashHolds(update, image);
}

// Two bench rows: the classic instrument (row 0) and the F5xx one (row 1, which the F5xx boot
// loader's "Q" selects). Each names its image as ProgDefFile.
const std::vector<Section> kClassicImage = {
    kVersion, {0x1100, Pattern(600, 21)}, VectorTable(0xFFE0, 0x1100)};
const std::vector<Section> kF5xxImage = {
    kVersion, {0x5C00, Pattern(600, 22)}, VectorTable(0xFF80, 0x5C00)};

void WriteBenchPackage(const test::TempFolder& package) {
  WriteFolder(package.Path(), DeviceSection("31001", "BenchC.txt", "BenchC.txt", "149") +
                                  DeviceSection("31002", "BenchF.txt", "BenchF.txt", "5438"));
  Write(package.Path() / "BenchC.txt", TiTxt(kClassicImage));
  Write(package.Path() / "BenchF.txt", TiTxt(kF5xxImage));
}

// The bench family talks at 4800 baud once its program runs.
const std::string kBenchLine = "[line]\nbaud = 4800\n";

struct BenchCase {
  const char* name;
  std::string bootLoader;
  std::vector<Section> image;
};

void PrintTo(const BenchCase& c, std::ostream* os) {
  *os << c.name;
}

class BenchInBootLoader : public ::testing::TestWithParam<BenchCase> {};

TEST_P(BenchInBootLoader, IsProgrammedWithoutIdentification) {
  const BenchCase& c = GetParam();
  test::TempFolder package;
  WriteBenchPackage(package);
  const SimRun run =
      RunIn(package, kBenchLine + "[bootloader]\nstart_in_bootloader = 1\n" + c.bootLoader, {},
            {"--dump", "flash.txt"});
  EXPECT_EQ(run.cli.exitCode, 0) << run.cli.output;
  EXPECT_THAT(run.cli.output, HasSubstr("Download erfolgreich ausgeführt !"));
  ExpectFlashHolds(run, c.image);
  // No identification: the new firmware's greeting is answered with the end command only.
  EXPECT_THAT(run.state, Not(HasSubstr("A.2003"))) << run.state;
  EXPECT_THAT(run.state, HasSubstr("\"A.1121\"],")) << run.state;
}

INSTANTIATE_TEST_SUITE_P(
    Bench, BenchInBootLoader,
    ::testing::Values(BenchCase{"Classic", "target = classic\nreset_vector = 0x0E5A\n",
                                kClassicImage},
                      BenchCase{"F5xx", "target = f5xx\nreset_vector = 0x1E08\n", kF5xxImage}),
    [](const auto& info) { return std::string(info.param.name); });

// A failed programming, OK pressed again (--retry), and the second programming succeeds.
TEST(MenuEndToEnd, RetryProgramsTheBenchInstrumentTheSecondTime) {
  const struct {
    const char* retry;
    int exitCode;
  } cases[] = {{"0", 1}, {"1", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.retry);
    test::TempFolder package;
    WriteBenchPackage(package);
    const SimRun run = RunIn(package,
                             kBenchLine +
                                 "[bootloader]\nstart_in_bootloader = 1\ntarget = classic\n"
                                 "reset_vector = 0x0E5A\n[bootloader_faults]\nfail_sessions = 1\n",
                             {"--retry", c.retry}, {"--dump", "flash.txt"});
    EXPECT_EQ(run.cli.exitCode, c.exitCode) << run.cli.output;
    EXPECT_THAT(run.cli.output, HasSubstr("Abbruch !"));
    if (c.exitCode == 0) {
      EXPECT_THAT(run.cli.output, HasSubstr("Download erfolgreich ausgeführt !"));
      ExpectFlashHolds(run, kClassicImage);
    } else {
      EXPECT_THAT(run.cli.output, Not(HasSubstr("erfolgreich")));
    }
  }
}

// A normal instrument and a package with two further files: after the main firmware the
// instrument stores both, in packets of at most 255 bytes.
TEST(MenuEndToEnd, FurtherFilesReachTheInstrument) {
  test::TempFolder package;
  WriteFolder(package.Path(),
              DeviceSection("20363", "Demo340.txt,Data\\First.bin,second.bin", "", "149"));
  const std::vector<Section> image = {
      kVersion, {0x1100, Pattern(300, 23)}, VectorTable(0xFFE0, 0x1100)};
  Write(package.Path() / "Demo340.txt", TiTxt(image));
  std::string first, second;
  for (int i = 0; i < 600; ++i) first += static_cast<char>(i * 13 + 5);
  for (int i = 0; i < 255; ++i) second += static_cast<char>(255 - i);
  std::filesystem::create_directories(package.Path() / "Data");
  Write(package.Path() / "Data" / "First.bin", first);
  Write(package.Path() / "second.bin", second);

  test::TempFolder received;
  const SimRun run = RunIn(package, "[identity]\nversion = 1.20\n[bootloader]\ntarget = classic\n",
                           {}, {"--files", received.Path().string()});
  EXPECT_EQ(run.cli.exitCode, 0) << run.cli.output;
  EXPECT_THAT(run.state, HasSubstr("\"A.12000#data\\\\first.bin\", \"A.12010#<255 bytes>\", "
                                   "\"A.12010#<255 bytes>\", \"A.12010#<90 bytes>\", \"A.12030\", "
                                   "\"A.12000#second.bin\", \"A.12010#<255 bytes>\", \"A.12030\""))
      << run.state;
  EXPECT_THAT(run.state, HasSubstr("\"U.606\""));
  EXPECT_EQ(simtest::ReadFile(received.Path() / "data" / "first.bin"), first);
  EXPECT_EQ(simtest::ReadFile(received.Path() / "second.bin"), second);
}

// A qualifying instrument receives its calibration value after the update, then the end
// command twice; an unlisted serial number receives the default value.
TEST(MenuEndToEnd, AirPressureValueAfterTheUpdate) {
  const struct {
    const char* serial;
    const char* value;
  } cases[] = {{"14120333", "948.5"}, {"14999999", "947.0"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.serial);
    test::TempFolder package;
    WriteFolder(package.Path(), DeviceSection("28160", "Demo340.txt", "", "149"));
    const std::vector<Section> image = {
        kVersion, {0x1100, Pattern(200, 24)}, VectorTable(0xFFE0, 0x1100)};
    Write(package.Path() / "Demo340.txt", TiTxt(image));
    const SimRun run = RunIn(package, std::string("[identity]\ndevice = 28160.000\nversion = 1.01\n"
                                                  "serial = ") +
                                          c.serial + "\n[bootloader]\ntarget = classic\n");
    EXPECT_EQ(run.cli.exitCode, 0) << run.cli.output;
    EXPECT_THAT(run.cli.output, HasSubstr("Download erfolgreich ausgeführt !"));
    EXPECT_THAT(run.state, HasSubstr("\"air_pressure\": \"" + std::string(c.value) + "\""));
    EXPECT_THAT(run.state, HasSubstr("\"A.1000\", \"A.6162#" + std::string(c.value) +
                                     "\", \"A.1121\", \"A.1121\", \"A.1121\"]"))
        << run.state;
  }
}

// The package's AirPressure.csv replaces the built-in rows: a serial number it lists gets its
// value; one whose line is bad gets the default, not the built-in value, and the log names the
// line.
TEST(MenuEndToEnd, AirPressureValueFromThePackagesTable) {
  const struct {
    const char* serial;
    const char* value;
  } cases[] = {{"14999999", "951.2"}, {"14120333", "947.0"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.serial);
    test::TempFolder package;
    WriteFolder(package.Path(), DeviceSection("28160", "Demo340.txt", "", "149"));
    const std::vector<Section> image = {
        kVersion, {0x1100, Pattern(200, 24)}, VectorTable(0xFFE0, 0x1100)};
    Write(package.Path() / "Demo340.txt", TiTxt(image));
    Write(package.Path() / "AirPressure.csv",
          "Seriennummer;Wert\r\n14999999;951.2\r\n14120333;9485\r\n");
    const SimRun run = RunIn(package, std::string("[identity]\ndevice = 28160.000\nversion = 1.01\n"
                                                  "serial = ") +
                                          c.serial + "\n[bootloader]\ntarget = classic\n");
    EXPECT_EQ(run.cli.exitCode, 0) << run.cli.output;
    EXPECT_THAT(run.cli.output, HasSubstr("AirPressure.csv, Zeile 3: der Wert liegt außerhalb"));
    EXPECT_THAT(run.state, HasSubstr("\"A.1000\", \"A.6162#" + std::string(c.value) +
                                     "\", \"A.1121\", \"A.1121\", \"A.1121\"]"))
        << run.state;
  }
}

}  // namespace
}  // namespace e2e
