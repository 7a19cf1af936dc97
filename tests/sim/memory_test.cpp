// The flash model: segments, bits that only clear, read-only areas and the TI-TXT dump.
#include "sim/memory.h"

#include <gtest/gtest.h>

#include "sim/profile.h"
#include "sim/targets.h"

namespace {

TEST(Memory, EraseTakesTheWholeSegmentAndNothingElse) {
  struct Case {
    uint32_t address, first, last;
  } cases[] = {
      {0x1080, 0x1080, 0x10FF},  // information memory: 128-byte segments
      {0x1000, 0x1000, 0x107F},
      {0x1150, 0x1100, 0x11FF},  // the first main segment is cut at 0x1100
      {0x1234, 0x1200, 0x13FF},
      {0xFFFF, 0xFE00, 0xFFFF},  // the vector segment
      {0x10010, 0x10000, 0x101FF},
  };
  for (const auto& c : cases) {
    auto m = sim::ClassicMemory(0x200, 0x9FF, 0x1FFFF, 0xF149, 0x0160);
    for (uint32_t a = 0x1000; a <= 0x1FFFF; ++a) m.Write(a, 0x00);
    ASSERT_TRUE(m.EraseSegment(c.address));
    EXPECT_EQ(m.Read(c.first - 1), 0x00) << std::hex << c.address;
    EXPECT_TRUE(m.IsErased(c.first, c.last - c.first + 1)) << std::hex << c.address;
    EXPECT_EQ(m.Read(c.last + 1), 0x00) << std::hex << c.address;
  }
}

TEST(Memory, FlashBitsOnlyClearRamTakesAnyByteRomRefuses) {
  auto m = sim::ClassicMemory(0x200, 0x9FF, 0x1FFFF, 0xF149, 0x0110);
  EXPECT_TRUE(m.Write(0x2000, 0xF0));
  EXPECT_TRUE(m.Write(0x2000, 0x3C));
  EXPECT_EQ(m.Read(0x2000), 0x30);  // not erased in between: the read-back differs
  EXPECT_TRUE(m.Write(0x0220, 0xF0));
  EXPECT_TRUE(m.Write(0x0220, 0x3C));
  EXPECT_EQ(m.Read(0x0220), 0x3C);
  EXPECT_FALSE(m.Write(0x0FF0, 0x00));
  EXPECT_FALSE(m.Write(0x0100, 0x00));  // peripherals: not mapped
  EXPECT_FALSE(m.EraseSegment(0x0220));
  EXPECT_EQ(m.Word(0x0FF0), 0x49F1);  // chip id F1 49, high byte first in memory
  EXPECT_EQ(m.Read(0x0FFA), 0x01);
  EXPECT_EQ(m.Read(0x0FFB), 0x10);
}

TEST(Memory, TiTxtListsProgrammedRows) {
  auto m = sim::F5xxMemory(0x25BFF, {0x05, 0x80});
  m.Write(0x5C00, 0x31);
  m.Write(0x5C01, 0x40);
  m.Write(0x5C11, 0xAB);
  m.Write(0x10000, 0x12);
  m.Write(0x1A04, 0x00);  // device descriptors are not flash: refused and not dumped
  EXPECT_EQ(m.TiTxt(),
            "@5C00\r\n31 40 FF FF FF FF FF FF FF FF FF FF FF FF FF FF\r\n"
            "FF AB FF FF FF FF FF FF FF FF FF FF FF FF FF FF\r\n"
            "@10000\r\n12 FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF\r\nq\r\n");
  EXPECT_EQ(m.Read(0x1A04), 0x05);
}

// A target holds an older firmware over all of its flash unless the profile asks for erased flash;
// either way the start code runs from the reset vector and the rest of the vector table is erased
// (it is the boot loader's password).
TEST(Memory, TargetsStartWithOldFirmwareOrOnlyTheirCode) {
  const struct {
    const char* profile;
    uint32_t code;
    bool old;
  } cases[] = {
      {"[bootloader]\ntarget = classic\n", 0x1100, true},
      {"[bootloader]\ntarget = f5xx\n", 0x5C00, true},
      {"[bootloader]\ntarget = classic\ninitial_flash = code_only\n", 0x1100, false},
      {"[bootloader]\ntarget = f5xx\ninitial_flash = code_only\nreset_vector = 0x5C00\n", 0x5C00,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.profile);
    std::vector<std::string> errors;
    const sim::Profile profile = sim::ParseProfile(c.profile, errors);
    ASSERT_TRUE(errors.empty());
    const std::unique_ptr<sim::Memory> m = sim::MakeTargetMemory(profile.bootLoader);
    EXPECT_EQ(m->Word(0xFFFE), c.code);
    EXPECT_EQ(m->Word(c.code), 0x4031);  // the start code
    EXPECT_TRUE(m->IsErased(0xFFE0, 0x1E));
    int programmed = 0, flash = 0;
    for (const sim::Region& r : m->Regions()) {
      if (r.kind != sim::Region::Kind::MainFlash && r.kind != sim::Region::Kind::InfoFlash)
        continue;
      for (uint32_t a = r.start; a <= r.end; ++a) {
        if (a >= 0xFFE0 && a <= 0xFFFF) continue;
        ++flash;
        programmed += m->Read(a) != 0xFF;
      }
    }
    EXPECT_EQ(programmed, c.old ? flash : 20) << flash;  // 20 bytes of start code
  }
}

}  // namespace
