// Reading the profile: every error names its line; the values land where they belong.
#include "sim/profile.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace {

TEST(Profile, ErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"[line]\nbaud = 0\n", "line 2: bad value '0' for baud"},
      {"[line]\nparity = X\n", "line 2: bad value 'X' for parity"},
      {"[identity]\nmarker = Q.\n", "line 2: bad value 'Q.' for marker"},
      {"[identity]\nvariant = AB\n", "line 2: bad value 'AB' for variant"},
      {"[protocol]\nprompt = >\n", "line 2: bad value '>' for prompt"},
      {"[bootloader]\nversion = 1.6\n", "line 2: bad value '1.6' for version"},
      {"[bootloader]\nflash_end = 0x8000\n", "line 2: bad value '0x8000' for flash_end"},
      {"[faults]\nsilent = 1,x\n", "line 2: bad value '1,x' for silent"},
      {"[identity]\ncolour = red\n", "line 2: unknown key 'colour' in [identity]"},
      {"\n[line\n", "line 2: section without ']'"},
      {"[line]\nbaud\n", "line 2: no '=' in 'baud'"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> errors;
    sim::ParseProfile(c.text, errors);
    ASSERT_EQ(errors.size(), 1u) << c.text;
    EXPECT_EQ(errors[0], c.error);
  }
}

TEST(Profile, ValuesLandWhereTheyBelong) {
  std::vector<std::string> errors;
  auto p = sim::ParseProfile(
      "; comment\n[Identity]\nDevice = 20363.000,30111.007\n[line]\nbaud = 0x4B00\nparity = e\n"
      "[replies]\nA.1600 = 31\nA.2005 = prompt\n[bootloader]\ntarget = classic\n"
      "version = 2.13\nram = 0x0200 - 0x09FF\nchip_id = 0xF26F\n"
      "[bootloader_faults]\nnak = 3, 5\nnoise_bytes = 12 34\nduplicate = 4\n",
      errors);
  ASSERT_TRUE(errors.empty()) << errors.front();
  EXPECT_EQ(p.device, "20363.000,30111.007");
  EXPECT_EQ(p.line.baud, 19200);
  EXPECT_EQ(p.line.parity, sim::Parity::Even);
  EXPECT_EQ(p.replies["A.1600"].kind, sim::Reply::Kind::Numbered);
  EXPECT_EQ(p.replies["A.1600"].code, 31);
  EXPECT_EQ(p.replies["A.2005"].kind, sim::Reply::Kind::Prompt);
  EXPECT_EQ(p.replies["A.1121"].kind, sim::Reply::Kind::Prompt);  // default kept
  EXPECT_EQ(p.bootLoader.target, sim::TargetKind::Classic);
  EXPECT_EQ(p.bootLoader.version, 0x0213);
  EXPECT_EQ(p.bootLoader.chipId, 0xF26F);
  EXPECT_EQ(p.bootLoaderFaults.nak, (std::set<int>{3, 5}));
  EXPECT_EQ(p.bootLoaderFaults.noiseBytes, (std::vector<uint8_t>{0x12, 0x34}));
  EXPECT_EQ(p.bootLoaderFaults.duplicate, (std::set<int>{4}));
  EXPECT_TRUE(p.faults.nak.empty());
}

}  // namespace

namespace {

TEST(Profile, ExampleProfilesLoad) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(SIM_PROFILE_DIR)) {
    sim::Profile p;
    std::string message;
    EXPECT_TRUE(sim::LoadProfile(entry.path().string(), p, message)) << message;
    ++count;
  }
  EXPECT_GE(count, 3);
}

}  // namespace
