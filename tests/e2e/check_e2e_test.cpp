// update-cli --check on whole packages: the demo package passes with its block list and start
// address; each broken package shows its one expected line and the exit code it deserves. No
// port is needed: the port folder is empty.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/e2e/image_update.h"

namespace e2e {
namespace {

using msp430_test::VectorTableWithStart;
using ::testing::HasSubstr;

const std::string kVersionLines = "@F000\r\n31 2E 33 30 00 FF\r\n";

CliResult Check(const test::TempFolder& package, const std::vector<std::string>& args = {}) {
  test::TempFolder ports;
  std::vector<std::string> words = {"--check"};
  words.insert(words.end(), args.begin(), args.end());
  return RunCli(package.Path(), ports.Path(), words, 60);
}

std::string GoodImage(const Section& vectors = VectorTable(0xFFE0, 0x1100)) {
  return TiTxt({kVersion, {0x1100, Pattern(200, 24)}, vectors});
}

std::string Repeat(const std::string& line, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += line;
  return text;
}

ImagePackage Firmware(const std::string& text) {
  ImagePackage package;
  package.firmware = text;
  return package;
}

TEST(CheckEndToEnd, DemoPackagePassesWithItsBlocksAndStartAddress) {
  test::TempFolder package;
  for (const char* file : {"Update.ini", "ProgDevice.ini", "Demo340.txt"}) {
    std::filesystem::copy_file(std::filesystem::path(UPDATER_SOURCE_DIR) / "demo" / file,
                               package.Path() / file);
  }
  std::filesystem::create_symlink(UPDATE_CLI_PATH, package.Path() / "update-cli");
  const CliResult cli = Check(package);
  EXPECT_EQ(cli.exitCode, 0) << cli.output;
  EXPECT_THAT(cli.output, HasSubstr("[OK] Eintrag 1 (pH 340 Demo): Demo340.txt: angebotene "
                                    "Version 1.30."));
  EXPECT_THAT(cli.output, HasSubstr("Demo340.txt: 28 Blöcke in der Reihenfolge des Sendens: "
                                    "0xF000-0xF007, 0x1100-0x28FF, 0xFFE0-0xFFFF"));
  EXPECT_THAT(cli.output, HasSubstr("[OK] Eintrag 1 (pH 340 Demo): Demo340.txt: Startadresse "
                                    "0x1100."));
  EXPECT_THAT(cli.output, HasSubstr("Fehler: 0, Warnungen: 4."));
}

TEST(CheckEndToEnd, BrokenPackagesShowTheirLine) {
  const struct {
    const char* name;
    std::string firmware;
    const char* removed;  // a file of the package taken away, or nullptr
    std::string extraFile;
    std::string extraText;
    int exitCode;
    const char* line;
  } cases[] = {
      {"no device file", GoodImage(), "ProgDevice.ini", "", "", 1,
       "[Fehler] Die Datei ProgDevice.ini fehlt; gesucht in: "},
      {"a named file missing", GoodImage(), "Demo340.txt", "", "", 1,
       "[Fehler] Eintrag 1 (pH 340): \"Demo340.txt\" wird genannt, fehlt aber im Paket"},
      {"odd byte count in a section",
       kVersionLines + "@1100\r\n01 02 03\r\n" + Repeat("01 02\r\n", 14) + "03 04\r\nq\r\n",
       nullptr, "", "", 1,
       "[Fehler] Eintrag 1 (pH 340): Firmware-Datei \"Demo340.txt\", Zeile 18: ungerade Anzahl "
       "Bytes innerhalb eines Abschnitts"},
      {"a section below an earlier one",
       kVersionLines + "@10000\r\n00 11\r\n@1100\r\n22 33\r\nq\r\n", nullptr, "", "", 1,
       "[Fehler] Eintrag 1 (pH 340): Firmware-Datei \"Demo340.txt\", Zeile 5: Daten unter "
       "0x10000 nach Daten über 0xFFFF"},
      {"vectors besides reset", GoodImage(VectorTableWithStart(0xFFE0, 0x1100, 0x1100)), nullptr,
       "", "", 0,
       "[Warnung] Eintrag 1 (pH 340): \"Demo340.txt\" setzt außer dem Reset-Vektor weitere "
       "Interrupt-Vektoren"},
      {"a terminal file over its limit", GoodImage(), nullptr, "L3_TermL.A37",
       std::string(2500001, 'S'), 1,
       "[Fehler] L3_TermL.A37 ist größer als 2500000 Bytes; das Ladeprogramm wiese die Datei ab."},
      {"a bad calibration line", GoodImage(), nullptr, "AirPressure.csv",
       "14120331;952.3\r\n14120333;948,5\r\n", 1,
       "[Fehler] AirPressure.csv, Zeile 2: kein Wert mit Punkt (z. B. 948.5) nach der "
       "Seriennummer; das Gerät 14120333 erhält den Vorgabewert 947.0."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempFolder package;
    WritePackage(package.Path(), Firmware(c.firmware));
    if (c.removed) std::filesystem::remove(package.Path() / c.removed);
    if (!c.extraFile.empty()) package.Write(c.extraFile, c.extraText);
    const CliResult cli = Check(package);
    EXPECT_EQ(cli.exitCode, c.exitCode) << cli.output;
    EXPECT_THAT(cli.output, HasSubstr(c.line)) << cli.output;
  }
}

// A terminal instrument asks for one of the two terminal files only during a run: one missing is
// a warning, both missing an error.
TEST(CheckEndToEnd, TerminalInstrumentsNeedATerminalFile) {
  const struct {
    const char* present;  // the terminal file the package has, or nullptr
    int exitCode;
    const char* line;
  } cases[] = {
      {nullptr, 1,
       "[Fehler] \"L3_TermH.A37\" fehlt im Paket: ein Terminal-Gerät, das diese Datei verlangt, "
       "wird nicht programmiert."},
      {"L3_TermH.A37", 0, "[Warnung] \"L3_TermL.A37\" fehlt im Paket"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    test::TempFolder package;
    WritePackage(package.Path(), Firmware(GoodImage()));
    std::string devices = simtest::ReadFile(package.Path() / "ProgDevice.ini");
    devices.replace(devices.find("DeviceNr=20363"), 14, "DeviceNr=21130");
    package.Write("ProgDevice.ini", devices);
    if (c.present) package.Write(c.present, "S00600004844521B\r\n");
    const CliResult cli = Check(package);
    EXPECT_EQ(cli.exitCode, c.exitCode) << cli.output;
    EXPECT_THAT(cli.output, HasSubstr(c.line)) << cli.output;
  }
}

TEST(CheckEndToEnd, JsonGivesTheSameFindings) {
  test::TempFolder package;
  WritePackage(package.Path(), Firmware(GoodImage()));
  std::filesystem::remove(package.Path() / "Demo340.txt");
  const CliResult cli = Check(package, {"--json"});
  EXPECT_EQ(cli.exitCode, 1) << cli.output;
  EXPECT_THAT(cli.output,
              HasSubstr("{\"level\": \"error\", \"entry\": 1, \"device\": \"pH 340\", \"file\": "
                        "\"Demo340.txt\", \"text\": \"\\\"Demo340.txt\\\" wird genannt, fehlt "
                        "aber im Paket"));
  EXPECT_THAT(cli.output, HasSubstr("\"errors\": 2,"));
}

}  // namespace
}  // namespace e2e
