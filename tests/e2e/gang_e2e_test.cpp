// update-cli --gang against four simulated instruments at once, one instrument-sim per port in
// one port folder: each flash must equal its image afterwards, the record must hold one line
// per port with its result, and one instrument's failure must not touch the others.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "tests/e2e/image_update.h"

namespace e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const std::vector<Section> kClassicImage = {
    kVersion, {0x1100, Pattern(700, 1)}, VectorTable(0xFFE0, 0x1100)};
const std::vector<Section> kF5xxImage = {
    kVersion, {0x5C00, Pattern(600, 7)}, VectorTable(0xFF80, 0x5C00)};

const std::string kClassic = "[bootloader]\ntarget = classic\nversion = 1.60\n";
const std::string kF5xx = "[bootloader]\ntarget = f5xx\n";

struct Instrument {
  int com;
  std::string serial;
  std::string identity;  // further [identity] lines
  std::string profile;   // the boot loader and its faults
  const std::vector<Section>* image;
  std::string result;  // expected in the record
};

// A package for two instruments: the classic pH 340 (20363) and the F5xx pH 540 (20364), each
// with its own image offering version 1.30.
void WriteGangPackage(const std::filesystem::path& folder,
                      const std::vector<Section>& classicImage = kClassicImage) {
  auto write = [&](const std::string& name, const std::string& text) {
    std::ofstream(folder / name, std::ios::binary) << text;
  };
  write("Update.ini", "[Update]\r\nLanguage=1\r\nVersion=1.00\r\nBaud=2,3\r\nCom=\r\n");
  auto entry = [](const std::string& section, const std::string& number, const std::string& file,
                  const std::string& prozTyp) {
    return "[" + section + "]\r\nDevStartCmd=1\r\nDeviceNrDef=XXXXX\r\nDeviceNr=" + number +
           "\r\nDeviceName=" + section + "\r\nProgFile1=\r\nProgFile2=" + file +
           "\r\nProgFile3=\r\nSWKenn1=\r\nSWKenn2=@F000\\r\\n\r\nSWKenn3=\r\nBootLoadKenn=\r\n"
           "FlashErase1=\r\nFlashErase2=\r\nFlashErase3=\r\nProgDefFile=\r\nProzTyp=" +
           prozTyp + "\r\n\r\n";
  };
  write("ProgDevice.ini", entry("pH 340", "20363", "Demo340.txt", "149") +
                              entry("pH 540", "20364", "Demo540.txt", "5438") +
                              "StarttextD=Start NAME\r\nStarttextE=Start NAME\r\n"
                              "AbbruchtextD=Abbruch !\\rNAME aus- und einschalten.\\rOk.\r\n"
                              "AbbruchtextE=Abort !\\rSwitch NAME off and on.\\rOk.\r\n");
  write("Demo340.txt", TiTxt(classicImage));
  write("Demo540.txt", TiTxt(kF5xxImage));
  std::filesystem::create_symlink(UPDATE_CLI_PATH, folder / "update-cli");
}

// The record's lines after the header, by port; each split into its fields (no field of these
// runs holds a comma).
std::map<std::string, std::vector<std::string>> RecordByPort(const std::filesystem::path& file,
                                                             size_t& lines) {
  std::ifstream in(file, std::ios::binary);
  std::map<std::string, std::vector<std::string>> rows;
  std::string line;
  lines = 0;
  for (bool header = true; std::getline(in, line); header = false) {
    ++lines;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (header) {
      EXPECT_EQ(line.rfind("time,", 0), 0u) << line;
      continue;
    }
    std::vector<std::string> fields;
    std::stringstream row(line);
    for (std::string field; std::getline(row, field, ',');) fields.push_back(field);
    if (fields.size() >= 4) rows[fields[3]] = fields;
  }
  return rows;
}

struct GangRun {
  CliResult cli;
  std::map<std::string, std::vector<std::string>> record;  // by port
  size_t recordLines = 0;
  std::vector<Update> instruments;  // state and flash of each, in the order given
  std::filesystem::path logs;
};

GangRun RunGang(const std::vector<Instrument>& instruments) {
  test::TempFolder ports;
  std::vector<std::unique_ptr<simtest::SimProcess>> sims;
  for (const Instrument& instrument : instruments) {
    const std::string n = std::to_string(instrument.com);
    sims.push_back(std::make_unique<simtest::SimProcess>(
        "[identity]\nversion = 1.20\nserial = " + instrument.serial + "\n" + instrument.identity +
            instrument.profile,
        std::vector<std::string>{"--com", n, "--state", "state" + n + ".json", "--dump",
                                 "flash" + n + ".txt"},
        ports.Path()));
    EXPECT_TRUE(sims.back()->Ready()) << sims.back()->Output();
  }
  test::TempFolder package;
  WriteGangPackage(package.Path());
  test::TempFolder records;
  GangRun run;
  run.logs = records.Path() / "logs";
  run.cli = RunCli(
      package.Path(), ports.Path(),
      {"--gang", "--record", (records.Path() / "runs.csv").string(), "--logs", run.logs.string()});
  for (size_t i = 0; i < sims.size(); ++i) {
    sims[i]->Stop(SIGTERM);
    const std::string n = std::to_string(instruments[i].com);
    Update update;
    update.state = simtest::ReadFile(ports.Path() / ("state" + n + ".json"));
    simtest::ParseTiTxt(simtest::ReadFile(ports.Path() / ("flash" + n + ".txt")), update.flash);
    run.instruments.push_back(update);
  }
  run.record = RecordByPort(records.Path() / "runs.csv", run.recordLines);
  size_t logFiles = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(run.logs, error)) {
    logFiles += entry.path().extension() == ".log" ? 1 : 0;
  }
  EXPECT_EQ(logFiles, instruments.size());
  return run;
}

void ExpectResults(const GangRun& run, const std::vector<Instrument>& instruments) {
  EXPECT_EQ(run.recordLines, 1 + instruments.size());
  for (size_t i = 0; i < instruments.size(); ++i) {
    const Instrument& instrument = instruments[i];
    const std::string port = "COM" + std::to_string(instrument.com);
    SCOPED_TRACE(port);
    ASSERT_EQ(run.record.count(port), 1u);
    const std::vector<std::string>& fields = run.record.at(port);
    ASSERT_GE(fields.size(), 15u);
    EXPECT_EQ(fields[7], instrument.serial);
    EXPECT_EQ(fields[11], instrument.result);
    if (instrument.result == "programmed") {
      EXPECT_EQ(fields[9], "1.20");
      EXPECT_EQ(fields[10], "1.30");
      ExpectFlashHolds(run.instruments[i], *instrument.image);
      EXPECT_THAT(run.instruments[i].state, HasSubstr("\"A.1121\""));
    }
    if (instrument.result == "already current") {
      EXPECT_THAT(run.instruments[i].state, Not(HasSubstr("program_starts\": 1")));
      EXPECT_EQ(fields[12], "");
    }
  }
}

const Instrument kFirst{1, "1001", "", kClassic, &kClassicImage, "programmed"};
const Instrument kSecond{2, "1002", "", kClassic, &kClassicImage, "programmed"};
const Instrument kThird{3, "1003", "device = 20364.000\n", kF5xx, &kF5xxImage, "programmed"};
const Instrument kCurrent{4,        "1004",         "version = 1.30\n",
                          kClassic, &kClassicImage, "already current"};

TEST(GangEndToEnd, FourInstrumentsAreProgrammedOrLeftAsTheyAre) {
  const std::vector<Instrument> instruments = {kFirst, kSecond, kThird, kCurrent};
  const GangRun run = RunGang(instruments);
  EXPECT_EQ(run.cli.exitCode, 0) << run.cli.output;
  ExpectResults(run, instruments);
  // Output that is not a terminal gets the table as plain lines, and the summary.
  EXPECT_THAT(run.cli.output, HasSubstr("COM3"));
  EXPECT_THAT(run.cli.output, HasSubstr("4 of 4 ports with an instrument"));
}

TEST(GangEndToEnd, OneFailingInstrumentLeavesTheOthersProgrammed) {
  Instrument failing = kSecond;
  failing.profile += "[bootloader_faults]\nfail_sessions = 1\n";
  failing.result = "failed";
  const std::vector<Instrument> instruments = {kFirst, failing, kThird, kCurrent};
  const GangRun run = RunGang(instruments);
  EXPECT_EQ(run.cli.exitCode, 1) << run.cli.output;
  ExpectResults(run, instruments);
  ASSERT_EQ(run.record.count("COM2"), 1u);
  // The failed step is the boot loader's: the refused erase or write.
  EXPECT_THAT(run.record.at("COM2")[12], ::testing::StartsWith("msp430 "));
  EXPECT_THAT(run.cli.output, HasSubstr("3 of 4 ports with an instrument"));
}

// --timeout ends the gang with exit code 3; a run cut off is recorded as failed where it was.
TEST(GangEndToEnd, TimeoutEndsTheGangAndRecordsTheRunsCutOff) {
  test::TempFolder ports;
  // Paced at the wire's speed, 40 KB take more than ten seconds to write: far longer than the
  // time given, which leaves the search and the identification room on a busy machine.
  simtest::SimProcess sim("[identity]\nversion = 1.20\n" + kClassic, {"--com", "1", "--pace"},
                          ports.Path());
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  test::TempFolder package;
  WriteGangPackage(package.Path(),
                   {kVersion, {0x1100, Pattern(40000, 1)}, VectorTable(0xFFE0, 0x1100)});
  const std::filesystem::path record = package.Path() / "runs.csv";
  const CliResult cli = RunCli(package.Path(), ports.Path(),
                               {"--gang", "--timeout", "6", "--record", record.string()}, 40);
  EXPECT_EQ(cli.exitCode, 3) << cli.output;
  EXPECT_THAT(cli.output, HasSubstr("update-cli: "));
  size_t lines = 0;
  const auto rows = RecordByPort(record, lines);
  ASSERT_EQ(rows.count("COM1"), 1u) << cli.output;
  EXPECT_EQ(rows.at("COM1")[11], "failed");
  EXPECT_FALSE(rows.at("COM1")[12].empty());
}

// A port without an instrument is "not found" and does not fail the gang; no instrument at all
// is exit code 2.
TEST(GangEndToEnd, PortsWithoutInstrumentsAreNotFound) {
  test::TempFolder ports;
  simtest::SimProcess sim("[identity]\n", {"--com", "1", "--silent-ports", "2"}, ports.Path());
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  test::TempFolder package;
  WriteGangPackage(package.Path());
  const std::filesystem::path record = package.Path() / "runs.csv";
  const CliResult cli =
      RunCli(package.Path(), ports.Path(),
             {"--gang", "--port", "COM2", "--record", record.string(), "--logs", "logs"});
  EXPECT_EQ(cli.exitCode, 2) << cli.output;
  EXPECT_THAT(cli.output, HasSubstr("No instrument was found on any port"));
  size_t lines = 0;
  const auto rows = RecordByPort(record, lines);
  ASSERT_EQ(rows.count("COM2"), 1u);
  EXPECT_EQ(rows.at("COM2")[11], "not found");
  EXPECT_EQ(rows.size(), 1u);  // only the port chosen
}

}  // namespace
}  // namespace e2e
