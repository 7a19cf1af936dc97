// The instrument-sim program driven over its pseudo-terminals by a small serial client.
#include <signal.h>

#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/sim/serial_client.h"
#include "tests/sim/sim_process.h"

namespace simtest {
namespace {

using ::testing::HasSubstr;

std::string Ask(SerialClient& line, const std::string& command) {
  line.Write(command + "\r\n");
  return line.ReadLine();
}

TEST(InstrumentSim, AnswersOnlyAtTheSpeedItListensAt) {
  SimProcess sim("[line]\nbaud = 9600\n", {"--com", "3", "--state", "state.json"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  SerialClient line(sim.Port(3), 4800);
  ASSERT_TRUE(line.IsOpen());
  line.Write("\r\n\r\nA.1111\r\n");
  EXPECT_TRUE(line.ReadFor(300).empty());  // long enough for the program to read them
  line.SetBaud(9600);
  line.Write("\r\n\r\n");
  EXPECT_EQ(Ask(line, "A.1111"), "!");  // the first answer is this one: nothing was queued
  ASSERT_EQ(sim.Stop(SIGTERM), 0);
  EXPECT_THAT(ReadFile(sim.File("state.json")), HasSubstr("\"ignored_bytes\": 12"));
}

struct IdentityCase {
  const char* name;
  const char* profile;
  std::vector<std::pair<std::string, std::string>> exchange;
};

void PrintTo(const IdentityCase& c, std::ostream* os) {
  *os << c.name;
}

class Identity : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(Identity, AnswersEachIdentificationCommandWithOneNumberedLine) {
  SimProcess sim(GetParam().profile, {"--com", "1"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  SerialClient line(sim.Port(1));
  for (const auto& [command, answer] : GetParam().exchange) EXPECT_EQ(Ask(line, command), answer);
  EXPECT_TRUE(line.ReadFor(150).empty()) << "no prompt after an identification answer";
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Identity,
    ::testing::Values(
        IdentityCase{"meter",
                     "[identity]\npcb = 41000.001\ndevice = 20363.000\nversion = 1.20\n"
                     "serial = 12345678\n",
                     {{"A.1000", "!"},
                      {"A.2003", "I.23#41000.001"},
                      {"A.2000", "I.20#20363.000"},
                      {"A.2001", "I.21#1.20"},
                      {"A.4001", "I.25#12345678"}}},
        IdentityCase{"sensor",
                     "[identity]\npcb = 41000.001,42000.005\ndevice = 20363.000,30111.007\n"
                     "version = 1.20,2.05\nserial = 12345678,87654321\n",
                     {{"A.2003", "I.23#41000.001,42000.005"},
                      {"A.2000", "I.20#20363.000,30111.007"},
                      {"A.2001", "I.21#1.20,2.05"},
                      {"A.4001", "I.25#12345678,87654321"}}},
        IdentityCase{"placeholder",
                     "[identity]\nversion = X.XX\nmarker = B.\ncode_pcb = 2013\n"
                     "code_device = 2010\ncode_version = 201\ncode_serial = 205\n",
                     {{"A.2003", "B.2013#41000.001"},
                      {"A.2000", "B.2010#20363.000"},
                      {"A.2001", "B.201#X.XX"},
                      {"A.4001", "B.205#12345678"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InstrumentSim, EntryDialogueAndRefusals) {
  SimProcess sim("[bootloader]\ntarget = classic\nreset_vector = 0x1E08\n", {"--com", "2"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  SerialClient line(sim.Port(2));
  EXPECT_EQ(Ask(line, "A.5577"), "I.80#0x1E08");
  EXPECT_EQ(Ask(line, "A.5555"), "I.80#0x1E08");
  EXPECT_EQ(Ask(line, "A.9876"), "?");
  EXPECT_EQ(Ask(line, "A.5588#QK47"), "?");  // wrong access code
  EXPECT_EQ(Ask(line, "A.5588#QK48"), "A.5588");
  EXPECT_TRUE(line.ReadFor(200).empty());
}

TEST(InstrumentSim, EntryCommandsAreRefusedWithoutBootLoader) {
  SimProcess sim("[bootloader]\ntarget = none\n", {"--com", "2"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  SerialClient line(sim.Port(2));
  EXPECT_EQ(Ask(line, "A.5577"), "?");
  EXPECT_EQ(Ask(line, "A.5588#QK48"), "?");
  EXPECT_EQ(Ask(line, "A.1000"), "!");  // still in normal mode
}

std::vector<uint8_t> Packet(const std::vector<uint8_t>& data, size_t from, size_t n) {
  std::vector<uint8_t> p = Bytes("A.12010#");
  p.push_back(static_cast<uint8_t>(n));
  p.insert(p.end(), data.begin() + static_cast<long>(from),
           data.begin() + static_cast<long>(from + n));
  return p;
}

TEST(InstrumentSim, StoresTheFilesOfAMultiFileTransfer) {
  SimProcess sim("", {"--com", "1", "--files", "received", "--state", "state.json"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  std::filesystem::create_directory(sim.File("received"));
  SerialClient line(sim.Port(1));
  std::vector<uint8_t> data(600);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);  // has \r \n 0
  EXPECT_EQ(Ask(line, "A.12000#sub\\data.bin"), "!");
  for (auto [from, n] : {std::pair<size_t, size_t>{0, 255}, {255, 255}, {510, 90}}) {
    line.Write(Packet(data, from, n));
    EXPECT_EQ(line.ReadLine(), "!");
  }
  EXPECT_EQ(Ask(line, "A.12030"), "!");
  EXPECT_EQ(Ask(line, "A.12000#..\\evil.bin"), "?");  // never outside the folder
  EXPECT_EQ(Ask(line, "A.12030"), "?");               // nothing open
  ASSERT_EQ(sim.Stop(SIGTERM), 0);
  EXPECT_EQ(ReadFile(sim.File("received/sub/data.bin")), std::string(data.begin(), data.end()));
  EXPECT_FALSE(std::filesystem::exists(sim.Folder() / "evil.bin"));
  EXPECT_THAT(ReadFile(sim.File("state.json")), HasSubstr("\"size\": 600"));
}

TEST(InstrumentSim, StateDumpHoldsWhatWasSeen) {
  SimProcess sim("", {"--com", "4", "--state", "state.json"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  SerialClient line(sim.Port(4));
  EXPECT_EQ(Ask(line, "A.1600#8752.500000"), "!");
  EXPECT_EQ(Ask(line, "A.6162#1013.2"), "!");
  EXPECT_EQ(Ask(line, "A.1121"), "!");
  line.Write("U.606\r\n");
  EXPECT_TRUE(line.ReadFor(200).empty());
  ASSERT_EQ(sim.Stop(SIGINT), 0);
  std::string state = ReadFile(sim.File("state.json"));
  EXPECT_THAT(state, HasSubstr("\"clock\": \"8752.500000\""));
  EXPECT_THAT(state, HasSubstr("\"air_pressure\": \"1013.2\""));
  EXPECT_THAT(state, HasSubstr("\"A.1121\", \"U.606\"]"));
}

TEST(InstrumentSim, SilentPortsArePresentAndTerminationRemovesEveryLink) {
  for (int signal : {SIGTERM, SIGINT}) {
    SimProcess sim("", {"--com", "3", "--silent-ports", "1,2", "--trace", "trace.txt"});
    ASSERT_TRUE(sim.Ready()) << sim.Output();
    for (int com : {1, 2, 3}) EXPECT_TRUE(std::filesystem::is_symlink(sim.Port(com))) << com;
    SerialClient silent(sim.Port(1));
    silent.Write("A.1111\r\n");
    EXPECT_TRUE(silent.ReadFor(200).empty());
    SerialClient line(sim.Port(3));
    EXPECT_EQ(Ask(line, "A.1111"), "!");
    EXPECT_EQ(sim.Stop(signal), 0);
    for (int com : {1, 2, 3}) EXPECT_FALSE(std::filesystem::exists(sim.Port(com))) << com;
    EXPECT_THAT(ReadFile(sim.File("trace.txt")), HasSubstr("sim->host 21 0D 0A  |!\\r\\n|"));
  }
}

TEST(InstrumentSim, RefusesBadProfilesAndArguments) {
  test::TempFolder folder;
  auto bad = folder.Write("bad.ini", "[line]\nbaud = fast\n[nowhere]\nx = 1\n").string();
  std::string out;
  EXPECT_EQ(RunSim({"--profile", bad, "--com", "1"}, folder.Path().string(), out), 2);
  EXPECT_THAT(out, HasSubstr("line 2: bad value 'fast' for baud"));
  EXPECT_THAT(out, HasSubstr("line 4: unknown key 'x' in [nowhere]"));
  out.clear();
  auto good = folder.Write("good.ini", "").string();
  EXPECT_EQ(RunSim({"--profile", good, "--com", "0"}, folder.Path().string(), out), 2);
  EXPECT_THAT(out, HasSubstr("--com needs a port number 1..256"));
  out.clear();
  folder.Write("COM1", "a file in the way");
  EXPECT_EQ(RunSim({"--profile", good, "--com", "1"}, folder.Path().string(), out), 1);
  EXPECT_THAT(out, HasSubstr("COM1 exists already"));
}

}  // namespace
}  // namespace simtest
