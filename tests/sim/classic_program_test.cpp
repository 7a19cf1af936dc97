// instrument-sim with a classic boot loader, programmed over its pty by the test's classic host:
// the entry dialogue, the image, the greeting of the new firmware and the flash dump at exit.
#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/sim/classic_client.h"
#include "tests/sim/sim_process.h"
#include "tests/sim/ti_txt.h"

namespace simtest {
namespace {

using ::testing::HasSubstr;

// The dump leaves out rows that are all 0xFF: what neither lists is erased.
::testing::AssertionResult SameFlash(const std::map<uint32_t, uint8_t>& dump,
                                     const std::map<uint32_t, uint8_t>& image) {
  auto at = [](const std::map<uint32_t, uint8_t>& m, uint32_t a) {
    auto it = m.find(a);
    return it == m.end() ? 0xFF : it->second;
  };
  for (const auto* m : {&dump, &image})
    for (const auto& [address, byte] : *m)
      if (at(dump, address) != at(image, address))
        return ::testing::AssertionFailure() << "differs at 0x" << std::hex << address;
  return ::testing::AssertionSuccess();
}

TEST(ClassicProgram, EntryProgrammingRestartAndDump) {
  SimProcess sim(
      "[bootloader]\ntarget = classic\nversion = 1.60\nstart_ms = 50\nreset_vector = 0x1100\n"
      "[protocol]\nrestart_prompt_ms = 100\n",
      {"--com", "5", "--dump", "flash.txt", "--state", "state.json"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  SerialClient line(sim.Port(5));
  line.Write("A.5577\r\n");
  ASSERT_EQ(line.ReadLine(), "I.80#0x1100");
  line.Write("A.5588#QK48\r\n");
  ASSERT_EQ(line.ReadLine(), "A.5588");
  line.ReadFor(150);  // the boot loader starts

  std::map<uint32_t, uint8_t> image;
  std::vector<uint8_t> code(200), vectors = VectorsWithReset(0x1100);
  for (size_t i = 0; i < code.size(); ++i) image[0x3000 + i] = code[i] = static_cast<uint8_t>(i);
  for (size_t i = 0; i < vectors.size(); ++i) image[0xFFE0 + i] = vectors[i];

  OverPty pty(line);
  ClassicClient host(pty);
  ASSERT_EQ(host.Password(VectorsWithReset(0x1100)), ClassicClient::kAck);
  ASSERT_EQ(host.MassErase(), ClassicClient::kAck);
  ASSERT_EQ(host.Write(0x3000, code), ClassicClient::kAck);
  ASSERT_EQ(host.Write(0xFFE0, vectors), ClassicClient::kAck);
  std::vector<uint8_t> back;
  ASSERT_EQ(host.Read(0x3000, 200, back), ClassicClient::kFrame);
  EXPECT_EQ(back, code);
  ASSERT_EQ(host.LoadPc(0x3000), ClassicClient::kAck);
  EXPECT_EQ(line.ReadLine(), "!");  // the new firmware, the host's line being at 9600

  ASSERT_EQ(sim.Stop(SIGTERM), 0);
  std::map<uint32_t, uint8_t> dump;
  ASSERT_TRUE(ParseTiTxt(ReadFile(sim.File("flash.txt")), dump));
  EXPECT_TRUE(SameFlash(dump, image));
  std::string state = ReadFile(sim.File("state.json"));
  EXPECT_THAT(state, HasSubstr("\"rx_data_block\": 2"));
  EXPECT_THAT(state, HasSubstr("\"start_address\": \"0x3000\""));
  EXPECT_THAT(state, HasSubstr("\"prompts_after_program\": 1"));
}

TEST(ClassicProgram, DumpNeedsATarget) {
  test::TempFolder folder;
  std::string out;
  auto profile = folder.Write("p.ini", "").string();
  EXPECT_EQ(
      RunSim({"--profile", profile, "--com", "1", "--dump", "x"}, folder.Path().string(), out), 1);
  EXPECT_THAT(out, HasSubstr("--dump needs a profile with a boot-loader target"));
}

}  // namespace
}  // namespace simtest
