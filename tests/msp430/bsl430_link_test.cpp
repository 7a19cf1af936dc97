// The classic loader's link with a scripted boot loader: how received bytes are split into
// acknowledgements, rejections and reply frames, and how failures are retried.
#include <gtest/gtest.h>

#include <algorithm>

#include "loaders/msp430/bsl430.h"
#include "package/messages.h"
#include "tests/msp430/boot_loader_replies.h"
#include "tests/msp430/link_rig.h"

namespace msp430_test {
namespace {

constexpr uint8_t kSync = 0x80, kAck = 0x90, kNak = 0xA0;
constexpr uint8_t kVersionCommand = 0x1E, kPasswordCommand = 0x10, kBaudCommand = 0x20;

// A boot loader that acknowledges everything and answers the version request.
std::vector<Chunk> Willing(const std::vector<uint8_t>& written) {
  if (written.size() > 1 && written[1] == kVersionCommand) return {VersionReply(0xF1, 0x49)};
  return {{kAck}};
}

class ClassicLink : public LinkRig {
 protected:
  int32_t Run() {
    loader = std::make_unique<msp430::T_BSL430>(Host());
    return loader->Execute(0, image, true, false).programmed ? 1 : 0;
  }
  std::unique_ptr<msp430::T_BSL430> loader;
};

struct Case {
  const char* name;
  size_t answered;            // which write gets the scripted answer (0 is the first sync)
  std::vector<Chunk> answer;  // each chunk arrives as a read of its own
  std::vector<uint8_t> next;  // the writes that follow: 0x80 or a frame's command byte
  bool afterTimeout;          // the first of them waits for the response time-out
};

// Writes of a run in boot-loader mode: 0 sync, 1 version request, 2 sync, 3 password, 4 sync,
// 5 speed change, ... The script answers like a willing boot loader up to write 8 and then falls
// silent, so every run ends (as a failure) once the case has shown what it is about.
TEST_F(ClassicLink, ReceivedBytesRunTheRightContinuations) {
  const std::vector<uint8_t> version = VersionReply(0xF1, 0x49);
  const Case cases[] = {
      {"a reply frame split over two reads is taken when complete",
       1,
       {Chunk(version.begin(), version.begin() + 7), Chunk(version.begin() + 7, version.end())},
       {kSync, kPasswordCommand, kSync, kBaudCommand},
       false},
      {"0x90 and 0xA0 inside a reply frame are data",
       1,
       {VersionReply(0x90, 0xA0)},
       {kSync, kPasswordCommand, kSync, kBaudCommand},
       false},
      {"a reply frame with a wrong checksum is retried after the time-out",
       1,
       {VersionReply(0xF1, 0x49, true)},
       {kSync, kPasswordCommand},
       true},
      {"0x90 then 0xA0 in one read: the acknowledgement only",
       3,
       {{kAck, kNak}},
       {kSync, kBaudCommand},
       false},
      // The 0x90 behind the rejection came after the answer: it answers nothing.
      {"0xA0 then 0x90 in one read: the rejection only",
       3,
       {{kNak, kAck}},
       {kSync, kPasswordCommand},
       false},
      {"a rejected synchronisation character is sent again",
       0,
       {{kNak}},
       {kSync, kVersionCommand},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UseScript([&c](size_t index, const std::vector<uint8_t>& written) -> std::vector<Chunk> {
      if (index == c.answered) return c.answer;
      return index < 8 ? Willing(written) : std::vector<Chunk>{};
    });
    EXPECT_EQ(Run(), 0);
    ASSERT_GE(Written(), c.answered + 1 + c.next.size());
    for (size_t i = 0; i < c.next.size(); ++i)
      EXPECT_EQ(WrittenCommand(c.answered + 1 + i, 1), c.next[i]) << "write " << c.answered + 1 + i;
    const uint32_t delay = port->writes[c.answered + 1].tick - port->writes[c.answered].tick;
    if (c.afterTimeout) {
      EXPECT_GE(delay, msp430::Msp430Loader::kResponseTimeoutMs);
    } else {
      EXPECT_LT(delay, 100u);
    }
  }
}

// The synchronisation character before the start is acknowledged twice; the second one arrives
// during the boot loader's settling time, before the start frame goes out, and never answers
// it. The start is not acknowledged: the run fails rather than report a start that did not
// happen.
TEST_F(ClassicLink, AnswerReceivedBeforeTheStartFrameDoesNotConfirmIt) {
  WillingClassic willing;
  int reads = 0;
  bool startNext = false;
  UseScript([&](size_t, const std::vector<uint8_t>& written) -> std::vector<Chunk> {
    if (written.size() == 1 && startNext) return {{kAck}, {kAck}};
    if (written.size() > 1 && written[1] == 0x14) startNext = ++reads == 2;
    if (written.size() > 1 && written[1] == 0x1A) return {};
    return {willing.Answer(written)};
  });
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(loader->GetErrorCode(), msp430::step::kStart);
}

TEST_F(ClassicLink, FourthFailureOfOneStepEndsTheRun) {
  UseScript([](size_t, const std::vector<uint8_t>& written) -> std::vector<Chunk> {
    if (written.size() > 1 && written[1] == kPasswordCommand) return {{kNak}};
    return Willing(written);
  });
  EXPECT_EQ(Run(), 0);
  size_t passwords = 0;
  for (const auto& write : port->writes)
    passwords += write.bytes.size() > 1 && write.bytes[1] == 0x10;
  EXPECT_EQ(passwords, 4u);
  EXPECT_EQ(WrittenCommand(Written() - 1, 1), kPasswordCommand);  // nothing sent after it
  EXPECT_EQ(loader->GetErrorCode(), msp430::step::kPassword);
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_EQ(view.boxes[0].text, messages::Text(messages::MSG_BOOTLOADER_ERROR, 0));
  EXPECT_EQ(view.boxes[0].caption, "Error");
  EXPECT_EQ(port->restores, 1);
  EXPECT_EQ(port->Baud(), serial::B__9600);
  EXPECT_EQ(events.queue.HandlerCount(), 0u);
  for (int id = 1; id <= events.timers.Count(); ++id) EXPECT_FALSE(events.timers.InUse(id));
}

}  // namespace
}  // namespace msp430_test
