// The classic loader's memory-offset command with a scripted boot loader: a retried offset
// command goes on where the first attempt would have, and never loops.
#include <gtest/gtest.h>

#include <algorithm>

#include "loaders/msp430/bsl430.h"
#include "tests/msp430/link_rig.h"

namespace msp430_test {
namespace {

constexpr uint8_t kAck = 0x90, kNak = 0xA0;
constexpr uint8_t kSync = 0x80, kEraseCommand = 0x16, kOffsetCommand = 0x21;
constexpr size_t kScriptEnd = 60;  // then the boot loader falls silent and the run ends

// 80 00 L L data, then the inverted XOR of the words.
Chunk VersionReply() {
  Chunk frame(4 + 16, 0x00);
  frame[0] = 0x80;
  frame[2] = frame[3] = 16;
  frame[4] = 0xF1;
  frame[5] = 0x49;
  frame[14] = 0x02;  // 2.13: takes the memory offset
  frame[15] = 0x13;
  uint8_t low = 0, high = 0;
  for (size_t i = 0; i < frame.size(); ++i) (i % 2 ? high : low) ^= frame[i];
  frame.push_back(static_cast<uint8_t>(~low));
  frame.push_back(static_cast<uint8_t>(~high));
  return frame;
}

uint8_t Command(const std::vector<uint8_t>& written) {
  return written.size() > 1 ? written[1] : written.at(0);
}

class ClassicOffset : public LinkRig {};

// An image with data above 0xFFFF and the sweep starting there: the first frame after the speed
// change is the offset command, and it is rejected (or unanswered) once.
TEST_F(ClassicOffset, RetriedOffsetCommandGoesOnWithTheSweep) {
  image = folder
              .Write("high.txt", TiTxt({{0x1100, Pattern(64, 3)},
                                        VectorTable(0xFFE0, 0x1100),
                                        {0x10000, Pattern(32, 4)}}))
              .string();
  context.FlashErase2 = 0x10200;
  for (const bool silent : {false, true}) {
    SCOPED_TRACE(silent ? "no answer" : "rejected");
    bool failed = false;
    UseScript([&](size_t index, const std::vector<uint8_t>& written) -> std::vector<Chunk> {
      if (index >= kScriptEnd) return {};
      if (Command(written) == 0x1E) return {VersionReply()};
      if (Command(written) == kOffsetCommand && !failed) {
        failed = true;
        return silent ? std::vector<Chunk>{} : std::vector<Chunk>{{kNak}};
      }
      return {{kAck}};
    });
    msp430::T_BSL430 loader(Host());
    EXPECT_FALSE(
        loader.Execute(0, image, true, false).programmed);  // the script falls silent in the end

    std::vector<uint8_t> commands;
    for (const auto& write : port->writes) commands.push_back(Command(write.bytes));
    const auto first = std::find(commands.begin(), commands.end(), kOffsetCommand);
    ASSERT_NE(first, commands.end());
    // The offset command, its retry after a synchronisation character, then the sweep goes on.
    const std::vector<uint8_t> expected = {kOffsetCommand, kSync, kOffsetCommand, kSync,
                                           kEraseCommand};
    EXPECT_EQ(std::vector<uint8_t>(first, first + 5), expected);
    // An acknowledged offset command never sends itself again.
    const uint8_t twice[] = {kOffsetCommand, kOffsetCommand};
    EXPECT_EQ(std::search(commands.begin(), commands.end(), twice, twice + 2), commands.end());
    view.boxes.clear();
  }
}

}  // namespace
}  // namespace msp430_test
