// Answers that come late, twice or byte by byte, in both loaders: a write counts one answer, the
// one that follows it; what is left from an earlier write never answers a later one. Each case is
// a whole run against a scripted boot loader that keeps what is written, so a shifted dialogue
// shows as a write sent before the previous one was answered, or as a failed run.
#include <gtest/gtest.h>

#include <optional>

#include "loaders/msp430/bsl430.h"
#include "loaders/msp430/bsl54xx430.h"
#include "tests/msp430/boot_loader_replies.h"
#include "tests/msp430/link_rig.h"

namespace msp430_test {
namespace {

enum class Fault {
  Late,      // no answer in time: it comes in one read with the answer to the next write
  Twice,     // the answer twice in one read
  ByteWise,  // every byte of the answer in a read of its own
};

enum class Loader { Classic, F5xx };

struct Case {
  const char* name;
  Loader loader;
  uint8_t command;  // the command byte of the frame that gets the fault
  int occurrence;   // its first, second, ... frame with that command
  Fault fault;
  int retries;  // frames sent again (after a response time-out)
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

Chunk Joined(Chunk first, const Chunk& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

// The willing boot loader's answers with the case's fault at one frame.
template <typename Willing>
ScriptPort::Script Faulty(Willing& willing, const Case& c) {
  const size_t offset = c.loader == Loader::Classic ? 1 : 3;  // of the command byte
  int seen = 0;
  std::optional<size_t> faulty;
  Chunk held;
  return [=, &willing](size_t index,
                       const std::vector<uint8_t>& written) mutable -> std::vector<Chunk> {
    const Chunk answer = willing.Answer(written);
    if (faulty && index == *faulty + 1 && c.fault == Fault::Late) return {Joined(held, answer)};
    const bool hit =
        written.size() > offset && written[offset] == c.command && ++seen == c.occurrence;
    if (!hit) return {answer};
    faulty = index;
    switch (c.fault) {
      case Fault::Late:
        held = answer;
        return {};
      case Fault::Twice:
        return {Joined(answer, answer)};
      case Fault::ByteWise:
        break;
    }
    std::vector<Chunk> bytes;
    for (uint8_t b : answer) bytes.push_back({b});
    return bytes;
  };
}

class StaleAnswer : public LinkRig, public ::testing::WithParamInterface<Case> {
 protected:
  // A run of the case's loader with its own image; 1 when it ended as a success.
  int32_t Run(const Case& c) {
    const bool classic = c.loader == Loader::Classic;
    sections = classic
                   ? std::vector<Section>{{0x1100, Pattern(300, 3)}, VectorTable(0xFFE0, 0x1100)}
                   : std::vector<Section>{{0x5C00, Pattern(300, 4)}, VectorTable(0xFF80, 0x5C00)};
    image = folder.Write("stale.txt", TiTxt(sections)).string();
    if (classic) {
      UseScript(Faulty(classicMemory, c));
      msp430::T_BSL430 loader(Host());
      return loader.Execute(0, image, true, false).programmed ? 1 : 0;
    }
    UseScript(Faulty(f5xxMemory, c));
    msp430::T_BSL_54XX_430 loader(Host());
    return loader.Execute(0, image, true, false).programmed ? 1 : 0;
  }

  const ScriptMemory& Memory(const Case& c) const {
    return c.loader == Loader::Classic ? classicMemory.memory : f5xxMemory.memory;
  }

  std::vector<Section> sections;
  WillingClassic classicMemory;
  WillingF5xx f5xxMemory;
};

TEST_P(StaleAnswer, CountsOneAnswerPerWrite) {
  const Case& c = GetParam();
  EXPECT_EQ(Run(c), 1);
  EXPECT_TRUE(view.boxes.empty());
  int retries = 0;
  const std::vector<uint8_t>* previous = nullptr;  // frame, not synchronisation character
  for (size_t i = 0; i < port->writes.size(); ++i) {
    const std::vector<uint8_t>& bytes = port->writes[i].bytes;
    EXPECT_EQ(port->writes[i].unread, 0u) << "write " << i << " went out before an answer was read";
    if (bytes.size() == 1) continue;
    if (previous && *previous == bytes) ++retries;
    previous = &bytes;
  }
  EXPECT_EQ(retries, c.retries);
  for (const auto& [address, value] : ImageBytes(sections))
    ASSERT_EQ(Memory(c).Read(address, 1).at(0), value) << std::hex << address;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StaleAnswer,
    ::testing::Values(
        Case{"ClassicBlockAckLateWithTheRetrySyncAck", Loader::Classic, 0x12, 1, Fault::Late, 1},
        Case{"ClassicEraseAckLateWithTheRetrySyncAck", Loader::Classic, 0x16, 1, Fault::Late, 1},
        Case{"ClassicReadReplyLateWithTheRetrySyncAck", Loader::Classic, 0x14, 1, Fault::Late, 1},
        Case{"ClassicPasswordAckTwice", Loader::Classic, 0x10, 1, Fault::Twice, 0},
        Case{"ClassicBlockAckTwice", Loader::Classic, 0x12, 2, Fault::Twice, 0},
        Case{"ClassicReadReplyTwice", Loader::Classic, 0x14, 1, Fault::Twice, 0},
        Case{"ClassicVersionReplyByteWise", Loader::Classic, 0x1E, 1, Fault::ByteWise, 0},
        Case{"ClassicReadReplyByteWise", Loader::Classic, 0x14, 2, Fault::ByteWise, 0},
        Case{"F5xxBlockStatusLateWithTheRetrysStatus", Loader::F5xx, 0x10, 1, Fault::Late, 1},
        Case{"F5xxEraseStatusLateWithTheRetrysStatus", Loader::F5xx, 0x12, 1, Fault::Late, 1},
        Case{"F5xxReadBackLateWithTheRetrysResponse", Loader::F5xx, 0x18, 2, Fault::Late, 1},
        Case{"F5xxPasswordStatusTwice", Loader::F5xx, 0x11, 1, Fault::Twice, 0},
        Case{"F5xxBlockStatusTwice", Loader::F5xx, 0x10, 1, Fault::Twice, 0},
        Case{"F5xxSpeedChangeAckTwice", Loader::F5xx, 0x52, 1, Fault::Twice, 0},
        Case{"F5xxVersionResponseByteWise", Loader::F5xx, 0x19, 1, Fault::ByteWise, 0},
        Case{"F5xxBlockStatusByteWise", Loader::F5xx, 0x10, 2, Fault::ByteWise, 0},
        Case{"F5xxReadBackByteWise", Loader::F5xx, 0x18, 2, Fault::ByteWise, 0}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
}  // namespace msp430_test
