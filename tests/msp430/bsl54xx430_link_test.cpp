// The F5xx loader's link with a scripted boot loader: acknowledgements, UART error bytes and
// response frames, the retry rule, and a response frame whose CRC is wrong.
#include <gtest/gtest.h>

#include <algorithm>

#include "loaders/msp430/bsl54xx430.h"
#include "package/messages.h"
#include "tests/msp430/boot_loader_replies.h"
#include "tests/msp430/link_rig.h"

namespace msp430_test {
namespace {

constexpr uint8_t kAck = 0x00, kChecksumError = 0x52;
constexpr uint8_t kPassword = 0x11, kVersion = 0x19, kRead = 0x18, kBaud = 0x52;

const Chunk kStatusOk = AckThen(Response({0x3B, 0x00}));
const Chunk kVersionData = AckThen(Response({0x3A, 0x00, 0x01, 0x01, 0x01}));
const Chunk kDeviceId = AckThen(Response({0x3A, 0x05, 0x80, 0x13, 0x10}));

// A boot loader that takes every frame; the speed change and the start are acknowledged only.
std::vector<Chunk> Willing(const std::vector<uint8_t>& written) {
  switch (written.at(3)) {
    case kVersion:
      return {kVersionData};
    case kRead:
      return {kDeviceId};
    case kBaud:
    case 0x17:
      return {{kAck}};
    default:
      return {kStatusOk};
  }
}

class F5xxLink : public LinkRig {
 protected:
  int32_t Run() {
    loader = std::make_unique<msp430::T_BSL_54XX_430>(Host());
    return loader->Execute(0, image, true, false).programmed ? 1 : 0;
  }
  size_t Count(uint8_t command) const {
    return std::count_if(port->writes.begin(), port->writes.end(),
                         [command](const auto& w) { return w.bytes.at(3) == command; });
  }
  std::unique_ptr<msp430::T_BSL_54XX_430> loader;
};

struct Case {
  const char* name;
  size_t answered;
  std::vector<Chunk> answer;
  std::vector<uint8_t> next;  // command bytes of the writes that follow
  bool afterTimeout;
};

// Writes of a run in boot-loader mode: 0 password, 1 version, 2 device identifier, 3 speed
// change, 4 erase, ... The script is willing up to write 5 and then falls silent.
TEST_F(F5xxLink, ReceivedBytesRunTheRightContinuations) {
  const Chunk version = kVersionData;
  const Case cases[] = {
      {"acknowledgement and status frame in one read", 0, {kStatusOk}, {kVersion, kRead}, false},
      {"a UART error byte resends the step's frame",
       0,
       {{kChecksumError}},
       {kPassword, kVersion},
       false},
      {"a response frame split over two reads is taken when complete",
       1,
       {Chunk(version.begin(), version.begin() + 4), Chunk(version.begin() + 4, version.end())},
       {kRead, kBaud},
       false},
      {"a response frame with a wrong CRC is dropped and the step retried on the time-out",
       0,
       {AckThen(Response({0x3B, 0x00}, true))},
       {kPassword, kVersion, kRead},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UseScript([&c](size_t index, const std::vector<uint8_t>& written) -> std::vector<Chunk> {
      if (index == c.answered) return c.answer;
      return index < 5 ? Willing(written) : std::vector<Chunk>{};
    });
    EXPECT_EQ(Run(), 0);
    ASSERT_GE(Written(), c.answered + 1 + c.next.size());
    for (size_t i = 0; i < c.next.size(); ++i)
      EXPECT_EQ(WrittenCommand(c.answered + 1 + i, 3), c.next[i]) << "write " << c.answered + 1 + i;
    const uint32_t delay = port->writes[c.answered + 1].tick - port->writes[c.answered].tick;
    if (c.afterTimeout) {
      EXPECT_GE(delay, msp430::Msp430Loader::kResponseTimeoutMs);
    } else {
      EXPECT_LT(delay, 100u);
    }
  }
}

TEST_F(F5xxLink, ThirdFailureOfOneStepEndsTheRun) {
  const struct {
    const char* name;
    Chunk answer;
    size_t boxesBeforeRetry;  // status 5 shows its box at once, each time
    size_t boxes;             // the end of the run shows one more
  } cases[] = {{"UART error byte", {kChecksumError}, 0, 1},
               {"password error status", AckThen(Response({0x3B, 0x05})), 1, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    view.boxes.clear();
    size_t boxesAtFirstRetry = 0;
    UseScript([&](size_t index, const std::vector<uint8_t>&) -> std::vector<Chunk> {
      if (index == 1) boxesAtFirstRetry = view.boxes.size();
      return {c.answer};
    });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Written(), 3u);
    EXPECT_EQ(Count(kPassword), 3u);
    EXPECT_EQ(boxesAtFirstRetry, c.boxesBeforeRetry);
    ASSERT_EQ(view.boxes.size(), c.boxes);
    for (const auto& box : view.boxes)
      EXPECT_EQ(box.text, messages::Text(messages::MSG_BOOTLOADER_ERROR, 0));
    EXPECT_EQ(loader->GetErrorCode(), msp430::step::kPassword);
    EXPECT_EQ(port->restores, 1);
    EXPECT_EQ(events.queue.HandlerCount(), 0u);
    for (int id = 1; id <= events.timers.Count(); ++id) EXPECT_FALSE(events.timers.InUse(id));
  }
}

}  // namespace
}  // namespace msp430_test
