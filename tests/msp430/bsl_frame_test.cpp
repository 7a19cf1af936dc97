#include "loaders/msp430/bsl_frame.h"

#include <gtest/gtest.h>

#include "test_bytes.h"

namespace msp430 {

void PrintTo(const BslScan& s, std::ostream* os) {
  *os << "{Frame " << s.Frame << ", BadFrame " << s.BadFrame << ", Ack " << s.Ack << ", Nak "
      << s.Nak << "}";
}

namespace {

using msp430_test::Bytes;
using msp430_test::Hex;

TEST(BslChecksum, PublishedCheckValues) {
  struct Case {
    std::vector<uint8_t> bytes;
    uint16_t checksum;
  };
  const Case cases[] = {
      {{'a', 'b', 'c', 0}, 0x9DFD},
      {Bytes("80 1E 04 04 00 00 00 00"), 0xE57B},  // CKL 7B, CKH E5
      {{'a', 'b', 'c'}, 0x9DFD},                   // an odd last byte counts as a word 00xx
      {{}, 0xFFFF},
  };
  for (const Case& c : cases) EXPECT_EQ(BslChecksum(c.bytes), c.checksum) << Hex(c.bytes);
}

// Expected frames were worked out by hand from the published frame layout and checksum.
TEST(BuildFrame, EveryCommandOfTheProgrammingSequence) {
  ImageBlock block;
  block.Address = 0x1100;
  block.Length = 8;
  block.Data[0] = 0x31;
  block.Data[1] = 0x40;
  block.Data[3] = 0x0A;
  struct Case {
    const char* name;
    BslFrame frame;
    const char* expected;
  };
  const Case cases[] = {
      {"version", VersionFrame(), "80 1E 04 04 58 58 58 58 7B E5"},
      {"read 14 bytes at 0x0FF0", ReadBlockFrame(0x0FF0, 14), "80 14 04 04 F0 0F 0E 00 85 E0"},
      {"erase segment", EraseSegmentFrame(0xFC00), "80 16 04 04 00 FC 02 A5 79 B4"},
      {"load program counter", LoadPcFrame(0x0C22), "80 1A 04 04 22 0C 58 58 01 B5"},
      {"baud rate F26F", BaudRateFrame(0xF26F), "80 20 04 04 80 8C 02 58 F9 0F"},
      {"baud rate F237", BaudRateFrame(0xF237), "80 20 04 04 80 8C 02 58 F9 0F"},
      {"baud rate other chip", BaudRateFrame(0xF149), "80 20 04 04 00 C8 02 58 79 4B"},
      {"memory offset 1", MemOffsetFrame(1), "80 21 04 04 00 00 01 58 7A 82"},
      {"data block", *DataBlockFrame(block), "80 12 08 08 00 11 04 00 31 40 00 0A 42 BE"},
  };
  for (const Case& c : cases) EXPECT_EQ(Hex(c.frame.View()), c.expected) << c.name;

  std::string expected = "80 10 24 24";
  for (int i = 0; i < 34; ++i) expected += " FF";
  EXPECT_EQ(Hex(PasswordFrame(0x0E5A).View()), expected + " 5A 0E FE 3A");
}

TEST(BuildFrame, RefusesDataThatDoNotFitAFrame) {
  EXPECT_FALSE(BuildFrame(0x12, std::vector<uint8_t>(3)));    // the checksum runs over words
  EXPECT_FALSE(BuildFrame(0x12, std::vector<uint8_t>(256)));  // L is one byte
  ASSERT_TRUE(BuildFrame(0x12, std::vector<uint8_t>(254)));
  EXPECT_EQ(BuildFrame(0x12, std::vector<uint8_t>(254))->Length, 260);

  ImageBlock tooLong;
  tooLong.Length = 4 + kBlockDataSize + 2;
  EXPECT_FALSE(DataBlockFrame(tooLong));
  ImageBlock odd;
  odd.Length = 7;
  EXPECT_FALSE(DataBlockFrame(odd));
}

// A reply frame to a version request: chip F149, 14 more data bytes.
constexpr const char* kReply = "80 80 10 10 F1 49 00 00 00 00 00 00 00 00 00 00 00 00 00 00 9E 26";

struct Step {
  std::string received;
  BslScan expected;
};

struct ReceiveCase {
  const char* name;
  std::vector<Step> steps;
  const char* left;  // bytes still held afterwards
};

TEST(BslReceiver, SplitsAcknowledgementsRejectionsAndFrames) {
  const BslScan none{}, ack{false, false, true, false}, nak{false, false, false, true},
      frame{true, false, false, false}, frameAck{true, false, true, false},
      bad{false, true, false, false};
  const std::string reply = kReply;
  const ReceiveCase cases[] = {
      {"single acknowledgement", {{"90", ack}}, ""},
      {"second rejection byte", {{"70", nak}}, ""},
      {"rejection behind the acknowledgement is dropped", {{"90 A0", ack}}, ""},
      {"acknowledgement behind the rejection is dropped", {{"A0 90", nak}}, ""},
      {"frame in one read", {{kReply, frame}}, ""},
      {"frame split over two reads",
       {{"80 80 10 10 F1 49 00 00", none}, {reply.substr(24), frame}},
       ""},
      {"header before its length has arrived", {{"80 80", none}, {reply.substr(6), frame}}, ""},
      {"0x90 and 0xA0 inside a frame are data", {{"80 80 04 04 90 A0 90 70 7B AB", frame}}, ""},
      {"acknowledgement in front of a frame", {{"90 " + reply, frameAck}}, ""},
      {"wrong checksum drops the frame", {{"80 80 04 04 01 02 03 04 00 00", bad}}, ""},
      {"stray bytes stay until a time-out", {{"12 34", none}}, "12 34"},
      {"bytes after a frame stay", {{"90 " + reply + " 90", frameAck}}, "90"},
  };
  for (const ReceiveCase& c : cases) {
    BslReceiver receiver;
    for (const Step& step : c.steps) {
      receiver.Append(Bytes(step.received));
      EXPECT_EQ(receiver.Scan(), step.expected) << c.name << ": " << step.received;
    }
    EXPECT_EQ(Hex(receiver.Pending()), c.left) << c.name;
  }
}

TEST(BslReceiver, KeepsTheFrameForTheWaitingStep) {
  BslReceiver receiver;
  receiver.Append(Bytes(kReply));
  ASSERT_TRUE(receiver.Scan().Frame);
  EXPECT_EQ(Hex(receiver.RxFrame()), kReply);
  ASSERT_EQ(receiver.FrameData().size(), 16u);
  EXPECT_EQ(receiver.FrameData()[0], 0xF1);
  EXPECT_EQ(receiver.FrameData()[1], 0x49);
}

TEST(BslReceiver, LongestReplyFitsAndBufferNeverOverflows) {
  BslReceiver receiver;
  EXPECT_EQ(receiver.FreeSpace(), 999u);
  // L = 255: one byte more than any frame this loader sends.
  std::vector<uint8_t> longest = {0x80, 0x80, 0xFF, 0xFF};
  longest.resize(4 + 255, 0x11);
  const uint16_t checksum = BslChecksum(longest);
  longest.push_back(checksum & 0xFF);
  longest.push_back(checksum >> 8);
  EXPECT_EQ(receiver.Append(longest), longest.size());
  EXPECT_TRUE(receiver.Scan().Frame);
  EXPECT_EQ(receiver.FrameData().size(), 255u);

  const std::vector<uint8_t> flood(1200, 0x55);
  EXPECT_EQ(receiver.Append(flood), 999u);
  EXPECT_EQ(receiver.FreeSpace(), 0u);
  EXPECT_EQ(receiver.Append(flood), 0u);
  receiver.Clear();
  EXPECT_EQ(receiver.RxCount(), 0);
}

}  // namespace
}  // namespace msp430
