#include "loaders/msp430/start_address.h"

#include <gtest/gtest.h>

#include <vector>

namespace msp430 {
namespace {

TEST(StartAddress, WordAtFFFCElseResetVector) {
  struct Case {
    const char* name;
    const char* text;
    std::optional<uint32_t> classic;
    std::optional<uint32_t> f5xx;
  };
  const Case cases[] = {
      {"vector table last", "@1100\r\n31 40\r\n@FFF8\r\nFF FF FF FF 34 12 00 11\r\nq\r\n", 0x1234,
       0x1234},
      {"start word erased", "@1100\r\n31 40\r\n@FFF8\r\nFF FF FF FF FF FF 00 11\r\nq\r\n", 0x1100,
       0x1100},
      {"reset vector alone last", "@1100\r\n31 40\r\n@FFFE\r\n00 11\r\nq\r\n", 0x1100, 0x1100},
      {"vector table first", "@FFFC\r\n34 12 00 11\r\n@1100\r\n31 40\r\nq\r\n", 0x1234, 0x1234},
      {"vector table first, long code block behind it",
       "@FFFC\r\n34 12 00 11\r\n@1100\r\n31 40 00 0A\r\nq\r\n", 0x1234, 0x1234},
      {"no vectors, short last block", "@1100\r\n31 40 00 0A\r\n@2000\r\n11 22\r\nq\r\n",
       std::nullopt, std::nullopt},
      {"no vectors, long last block", "@1100\r\n31 40 00 0A\r\nq\r\n", std::nullopt, std::nullopt},
      // A block after the vector table: its last bytes are not the start word.
      {"vector table, then more of its segment",
       "@4000\r\n31 40\r\n@FFF8\r\nFF FF FF FF 34 12 00 40\r\n@FE00\r\n5C 5D 5E 5F 60 61\r\nq\r\n",
       0x1234, 0x1234},
      // The same address twice: the flash keeps the later one.
      {"start word written twice",
       "@FFFC\r\n11 11 00 11\r\n@1100\r\n31 40\r\n@FFFC\r\n34 12 00 11\r\nq\r\n", 0x1234, 0x1234},
      // 0x1FFFC is not 0xFFFC.
      {"vectors only above 64K", "@5C00\r\n31 40\r\n@1FFFC\r\n34 12 00 11\r\nq\r\n", std::nullopt,
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<ImageBlock> classic(8);
    const ImageReadResult read = ReadImage(c.text, classic);
    ASSERT_TRUE(read.Ok());
    EXPECT_EQ(ClassicStartAddress(classic, read.LastBlock, read.FirstHigh), c.classic);
    std::vector<ImageBlock54> f5xx(8);
    const Image54ReadResult read54 = ReadImage54(c.text, f5xx);
    ASSERT_TRUE(read54.Ok());
    EXPECT_EQ(StartAddress54(f5xx, read54.LastBlock), c.f5xx);
  }
}

TEST(StartAddress, VectorsBesideResetAreNoticed) {
  struct Case {
    const char* name;
    const char* text;
    bool sets;
  };
  const Case table[] = {
      {"reset vector only", "@FFFC\r\nFF FF 00 11\r\nq\r\n", false},
      {"start word set", "@FFFC\r\n34 12 00 11\r\nq\r\n", true},
      {"first vector set", "@FFE0\r\n00 50\r\n@FFFE\r\n00 11\r\nq\r\n", true},
      {"vector table above 64K only", "@5C00\r\n31 40\r\n@1FFE0\r\n34 12 00 11\r\nq\r\n", false},
      {"code below the table", "@FFD0\r\n00 50 00 50\r\n@FFFE\r\n00 11\r\nq\r\n", false},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.name);
    std::vector<ImageBlock> classic(8);
    const ImageReadResult read = ReadImage(c.text, classic);
    ASSERT_TRUE(read.Ok());
    EXPECT_EQ(SetsVectorsBesideReset(classic, read.LastBlock, read.FirstHigh), c.sets);
    std::vector<ImageBlock54> f5xx(8);
    const Image54ReadResult read54 = ReadImage54(c.text, f5xx);
    ASSERT_TRUE(read54.Ok());
    EXPECT_EQ(SetsVectorsBesideReset(f5xx, read54.LastBlock), c.sets);
  }
}

}  // namespace
}  // namespace msp430
