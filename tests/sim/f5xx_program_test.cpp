// instrument-sim with an F5xx boot loader, programmed over its pty by the test's F5xx host.
#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/sim/f5xx_client.h"
#include "tests/sim/sim_process.h"
#include "tests/sim/ti_txt.h"

namespace simtest {
namespace {

using ::testing::HasSubstr;

// Erased flash but the start code, so the dump shows exactly what the host programmed.
constexpr char kProfile[] =
    "[bootloader]\ntarget = f5xx\nstart_ms = 50\ninitial_flash = code_only\n"
    "[protocol]\nrestart_prompt_ms = 100\npassword_groups = 2\n";

// Takes the password word from answer 80 and enters the boot loader.
uint16_t Enter(SerialClient& line) {
  line.Write("A.5555\r\n");
  std::string answer = line.ReadLine();
  EXPECT_THAT(answer, ::testing::StartsWith("I.80#0x"));
  line.Write("A.5566#QK48\r\n");
  EXPECT_EQ(line.ReadLine(), "A.5566");
  line.ReadFor(150);
  return static_cast<uint16_t>(std::stoul(answer.substr(5, 6), nullptr, 16));
}

TEST(F5xxProgram, ImageAboveAndBelow64KThenTheGreetingAndTheDump) {
  SimProcess sim(kProfile, {"--com", "7", "--dump", "flash.txt", "--state", "state.json"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  SerialClient line(sim.Port(7));
  uint16_t word = Enter(line);
  EXPECT_EQ(word, 0x5C00);

  std::map<uint32_t, uint8_t> image;
  std::vector<uint8_t> low(200), high(100), vectors(128, 0xFF);
  vectors[126] = 0x00;
  vectors[127] = 0x5C;
  for (size_t i = 0; i < low.size(); ++i) image[0x5C00 + i] = low[i] = static_cast<uint8_t>(i);
  for (size_t i = 0; i < high.size(); ++i) image[0x10000 + i] = high[i] = static_cast<uint8_t>(~i);
  for (size_t i = 0; i < vectors.size(); ++i) image[0xFF80 + i] = vectors[i];

  OverPty pty(line);
  F5xxClient host(pty);
  ASSERT_EQ(host.Password(F5xxPassword(word)).Status(), 0);
  for (uint32_t segment : {0x5C00u, 0x10000u, 0xFE00u}) ASSERT_EQ(host.Erase(segment).Status(), 0);
  ASSERT_EQ(host.Write(0x5C00, low).Status(), 0);
  ASSERT_EQ(host.Write(0x10000, high).Status(), 0);
  ASSERT_EQ(host.Write(0xFF80, vectors).Status(), 0);
  EXPECT_EQ(host.Read(0x10000, 100).data, high);
  EXPECT_EQ(host.ChangeBaud(0x04).ack, 0);
  line.ReadFor(30);
  line.SetBaud(38400);
  EXPECT_EQ(host.Read(0x5C00, 200).data, low);
  EXPECT_EQ(host.LoadPc(0x5C00).ack, 0);
  line.SetBaud(9600);
  EXPECT_EQ(line.ReadLine(), "!");

  ASSERT_EQ(sim.Stop(SIGTERM), 0);
  std::map<uint32_t, uint8_t> dump;
  ASSERT_TRUE(ParseTiTxt(ReadFile(sim.File("flash.txt")), dump));
  for (uint32_t a = 0x5C00; a < 0x25C00; ++a) {
    uint8_t want = image.count(a) ? image[a] : 0xFF, got = dump.count(a) ? dump[a] : 0xFF;
    if (want != got) FAIL() << "differs at 0x" << std::hex << a;
  }
  EXPECT_THAT(ReadFile(sim.File("state.json")), HasSubstr("\"rx_data_block\": 3"));
}

TEST(F5xxProgram, AWrongPasswordWordLeavesTheFlashErased) {
  SimProcess sim(std::string(kProfile) + "password_word = 0x1E08\n",
                 {"--com", "8", "--dump", "flash.txt", "--state", "state.json"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  SerialClient line(sim.Port(8));
  uint16_t word = Enter(line);
  EXPECT_EQ(word, 0x1E08);
  OverPty pty(line);
  F5xxClient host(pty);
  EXPECT_EQ(host.Password(F5xxPassword(word)).Status(), 5);
  EXPECT_EQ(host.Write(0x5C00, {1, 2}).Status(), 4);
  ASSERT_EQ(sim.Stop(SIGTERM), 0);
  EXPECT_EQ(ReadFile(sim.File("flash.txt")), "q\r\n");
  EXPECT_THAT(ReadFile(sim.File("state.json")), HasSubstr("\"wrong_passwords\": 1"));
}

}  // namespace
}  // namespace simtest
