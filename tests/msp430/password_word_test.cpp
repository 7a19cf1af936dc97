// Which password word a classic run started in the boot loader sends when the instrument has not
// named one: the processor type and the board decide between the usual word and the one of parts
// with memory above 0xFFFF.
#include <gtest/gtest.h>

#include "loaders/msp430/bsl430.h"
#include "tests/msp430/boot_loader_replies.h"
#include "tests/msp430/link_rig.h"

namespace msp430_test {
namespace {

constexpr uint8_t kAck = 0x90, kVersionCommand = 0x1E, kPasswordCommand = 0x10;

class BenchPassword : public LinkRig {};

TEST_F(BenchPassword, ProcessorAndBoardChooseTheWord) {
  struct Case {
    const char* name;
    int32_t prozTyp;
    const char* pcb;
    uint16_t word;
  };
  const Case cases[] = {
      {"a usual part", 0x149, "41000.001", 0x0E5A},
      {"a processor listed for the high word", 0xF237, "41000.001", 0x0E5C},
      {"a board listed for the high word", 0x149, "23774.002", 0x0E5C},
      {"no board number at all", 0x149, "", 0x0E5A},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    context = {};
    context.BenchMode = true;
    context.ProzTyp = c.prozTyp;
    context.PcbNumber = c.pcb;
    // Willing up to the password, then silent: the run ends as a failure after its retries.
    UseScript([](size_t index, const std::vector<uint8_t>& written) -> std::vector<Chunk> {
      if (index > 3) return {};
      if (written.size() > 1 && written[1] == kVersionCommand) return {VersionReply(0xF1, 0x49)};
      return {{kAck}};
    });
    msp430::T_BSL430 loader(Host());
    EXPECT_FALSE(loader.Execute(0, image, true, false).programmed);
    ASSERT_GT(Written(), 3u);
    ASSERT_EQ(WrittenCommand(3, 1), kPasswordCommand);
    const auto& frame = port->writes[3].bytes;
    ASSERT_EQ(frame.size(), 42u);  // four header bytes, 36 data bytes, checksum
    EXPECT_EQ(frame[4 + 34] | frame[4 + 35] << 8, c.word);
  }
}

}  // namespace
}  // namespace msp430_test
