#include "loaders/msp430/bsl54_frame.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "test_bytes.h"

namespace msp430 {

void PrintTo(const Reply54& r, std::ostream* os) {
  static const char* const kNames[] = {"Ack", "Failure", "Data", "Message", "OtherFrame", "BadCrc"};
  *os << kNames[static_cast<int>(r.Kind)] << "(" << int{r.Value} << ")";
}

namespace {

using msp430_test::Bytes;
using msp430_test::Hex;

TEST(Crc16Ccitt, PublishedCheckValues) {
  struct Case {
    std::vector<uint8_t> bytes;
    uint16_t crc;
  };
  const Case cases[] = {
      {{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 0x29B1},
      {Bytes("52 02"), 0x5590},
      {Bytes("19"), 0x62E8},
      {Bytes("3A 00 01 01 01"), 0x4F6C},
      {Bytes("3B 00"), 0xC460},
  };
  for (const Case& c : cases) EXPECT_EQ(Crc16Ccitt(c.bytes), c.crc) << Hex(c.bytes);
}

TEST(BuildFrame54, EveryCommandOfTheProgrammingSequence) {
  ImageBlock54 block;
  block.Address = 0x5C00;
  block.Length = 8;
  block.Data[0] = 0x31;
  block.Data[1] = 0x40;
  Command54 baud9600 = kChangeBaudRate54;
  baud9600.Data[0] = 0x02;
  std::array<int32_t, 16> words;
  words.fill(0xFFFF);
  words[15] = 0x1E08;
  std::string password = "80 21 00 11";
  for (int i = 0; i < 30; ++i) password += " FF";

  struct Case {
    const char* name;
    std::optional<BslFrame54> frame;
    std::string expected;
  };
  const Case cases[] = {
      {"version (published)", VersionFrame54(), "80 01 00 19 E8 62"},
      {"baud rate 9600 (published)", BuildFrame54(baud9600, 2), "80 02 00 52 02 90 55"},
      {"baud rate 38400", BaudRateFrame54(), "80 02 00 52 04 56 35"},
      {"password", PasswordFrame54(words), password + " 08 1E C7 81"},
      {"data block", DataBlockFrame54(block), "80 06 00 10 00 5C 00 31 40 FD 50"},
      {"erase segment", EraseSegmentFrame54(0xFC00), "80 04 00 12 00 FC 00 A3 24"},
      {"load program counter above 0xFFFF", LoadPcFrame54(0x10000), "80 04 00 17 00 00 01 6B DE"},
      {"read device identifier", ReadBlockFrame54(0x1A04, 4), "80 06 00 18 04 1A 00 04 00 18 2F"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(c.frame) << c.name;
    EXPECT_EQ(Hex(c.frame->View()), c.expected) << c.name;
  }
}

TEST(BuildFrame54, RefusesFramesItCannotCarry) {
  EXPECT_FALSE(BuildFrame54(kTxBslVersion54, 0));
  EXPECT_FALSE(BuildFrame54(kTxBslVersion54, 257));  // no address: command + 255 data bytes
  EXPECT_TRUE(BuildFrame54(kTxBslVersion54, 256));
  // An address of 0 reads as "no address"; one above 0xFFFFFF does not fit three bytes.
  EXPECT_FALSE(EraseSegmentFrame54(0));
  EXPECT_FALSE(ReadBlockFrame54(0x1000000, 2));
  ImageBlock54 block;
  block.Length = 10;
  EXPECT_FALSE(DataBlockFrame54(block));
  block.Address = 0x5C00;
  block.Length = 6 + kBlockDataSize + 1;
  EXPECT_FALSE(DataBlockFrame54(block));
}

struct Step {
  std::string received;
  std::vector<Reply54> expected;
};

struct ReceiveCase {
  const char* name;
  std::vector<Step> steps;
  const char* left;
};

TEST(Bsl54Receiver, SplitsAcknowledgementsFailuresAndResponses) {
  const Reply54 ack{Reply54Kind::Ack}, data{Reply54Kind::Data}, ok{Reply54Kind::Message, 0},
      badCrc{Reply54Kind::BadCrc};
  const std::string status0 = "80 02 00 3B 00 60 C4";
  const ReceiveCase cases[] = {
      {"acknowledgement and status in one read", {{"00 " + status0, {ack, ok}}}, ""},
      {"wrong password (published)",
       {{"00 80 02 00 3B 05 C5 94", {ack, {Reply54Kind::Message, 5}}}},
       ""},
      {"UART checksum error", {{"52", {{Reply54Kind::Failure, 0x52}}}}, ""},
      {"single bytes without a frame get a pass each",
       {{"00 00 51", {ack, {Reply54Kind::Failure, 0x51}, ack}}},
       ""},
      {"data response split over two reads",
       {{"00 80 05 00 3A 00", {ack}}, {"01 01 01 6C 4F", {data}}},
       ""},
      {"header before its length has arrived", {{"80", {}}, {"02 00 3B 00 60 C4", {ok}}}, ""},
      {"wrong CRC is discarded, the next frame is read",
       {{"80 02 00 3B 00 60 C5 " + status0, {badCrc}}, {"", {ok}}},
       ""},
      {"stray byte in front of a frame stays", {{"01 " + status0, {ok}}}, "01"},
      {"a frame ends the call", {{status0 + " 00", {ok}}, {"", {ack}}}, ""},
      {"frame of another kind", {{"80 01 00 19 E8 62", {{Reply54Kind::OtherFrame}}}}, ""},
  };
  for (const ReceiveCase& c : cases) {
    Bsl54Receiver receiver;
    for (const Step& step : c.steps) {
      receiver.Append(Bytes(step.received));
      EXPECT_EQ(receiver.Scan(), step.expected) << c.name << ": " << step.received;
    }
    EXPECT_EQ(Hex(receiver.Pending()), c.left) << c.name;
  }
}

TEST(Bsl54Receiver, KeepsTheDataForTheWaitingStep) {
  Bsl54Receiver receiver;
  receiver.Append(Bytes("00 80 05 00 3A 00 01 01 01 6C 4F"));
  receiver.Scan();
  EXPECT_EQ(Hex(receiver.RxFrame()), "80 05 00 3A 00 01 01 01 6C 4F");
  EXPECT_EQ(Hex(receiver.FrameData()), "00 01 01 01");
}

TEST(Bsl54Receiver, BufferNeverOverflows) {
  Bsl54Receiver receiver;
  const std::vector<uint8_t> flood(1200, 0x01);  // neither acknowledgement nor failure
  EXPECT_EQ(receiver.Append(flood), 999u);
  EXPECT_TRUE(receiver.Scan().empty());
  EXPECT_EQ(receiver.Append(flood), 0u);
}

}  // namespace
}  // namespace msp430
