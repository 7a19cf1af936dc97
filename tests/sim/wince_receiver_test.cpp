// The simulated instrument's WinCE file receiver, driven by hand-written frames.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/instrument.h"
#include "sim/wince_receiver.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST(WinCeReceiver, CheckCharacterOfItsOwn) {
  struct Case {
    std::string data;
    uint8_t check;
  };
  const Case cases[] = {
      {"123456789", 0xB4},             // the published CRC-8 check value
      {"abc", 'e'},                    // 0x65
      {std::string(1, '\xFF'), 0x01},  // CRC 0 is sent as 1
      {std::string(1, '\xCA'), '$'},   // CRC "#" moves up
      {std::string(1, '\x8E'), 'E'},   // CRC "D" moves up
      {std::string(1, '\x08'), '-'},   // CRC "," moves up
  };
  for (const Case& c : cases) EXPECT_EQ(sim::WinCeCheck(Bytes(c.data)), c.check) << c.data;
}

struct Bench {
  explicit Bench(const std::string& extra = "") {
    std::vector<std::string> errors;
    profile = sim::ParseProfile("[wince]\nreceiver = 1\n" + extra, errors);
    EXPECT_TRUE(errors.empty()) << errors.front();
    instrument = std::make_unique<sim::Instrument>(profile, [this] { return now; });
    instrument->SetHostLine(9600, sim::Parity::None, 8, 2);
  }
  std::string Say(const std::string& bytes, int64_t ms = 50) {
    instrument->Receive(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    now += ms;
    auto out = instrument->TakeOutput(now);
    return {out.begin(), out.end()};
  }
  sim::Profile profile;
  int64_t now = 1000;
  std::unique_ptr<sim::Instrument> instrument;
};

TEST(WinCeReceiver, SwitchesItsLineAfterTheAcknowledgement) {
  Bench b;
  EXPECT_EQ(b.Say("A.1300#38400\r\n"), "!\r\n");  // still at 9600
  EXPECT_EQ(b.Say("A.1000\r\n"), "");             // the host has not switched yet
  b.instrument->SetHostLine(38400, sim::Parity::None, 8, 2);
  EXPECT_EQ(b.Say("A.1000\r\n"), "!\r\n");
  EXPECT_EQ(b.Say("A.1300#4800\r\n"), "!\r\n");
  b.instrument->SetHostLine(4800, sim::Parity::None, 8, 2);
  EXPECT_EQ(b.Say("A.1000\r\n"), "!\r\n");
  EXPECT_EQ(b.Say("A.1300#fast\r\n"), "?\r\n");
}

TEST(WinCeReceiver, ReceivesAFileBlockByBlock) {
  Bench b;
  EXPECT_EQ(b.Say("A.1205#sub\\a,b.bin,1234,5\r\n"), "!\r\n");  // a comma in the name
  EXPECT_EQ(b.Say("D.3,e#abc"), "!\r\n");
  // Line ends and markers inside the data are data.
  const std::string data = "\r\n";
  const std::string frame =
      "D.2," + std::string(1, static_cast<char>(sim::WinCeCheck(Bytes(data)))) + "#" + data;
  EXPECT_EQ(b.Say(frame), "!\r\n");
  EXPECT_EQ(b.Say("A.1202\r\n"), "!\r\n");
  EXPECT_EQ(b.Say("A.1203\r\n"), "!\r\n");
  ASSERT_EQ(b.instrument->Seen().files.size(), 1u);
  const sim::ReceivedFile& file = b.instrument->Seen().files[0];
  EXPECT_EQ(file.name, "sub\\a,b.bin");
  EXPECT_EQ(file.path, "sub/a,b.bin");
  EXPECT_EQ(file.timeStamp, 1234u);
  EXPECT_EQ(std::string(file.data.begin(), file.data.end()), "abc\r\n");
  EXPECT_TRUE(file.complete);
}

TEST(WinCeReceiver, RefusesWhatDoesNotFit) {
  struct Case {
    const char* name;
    const char* profile;
    std::vector<std::string> exchange;  // what the host sends, then what it gets, in turns
  };
  const Case cases[] = {
      {"wrong check character",
       "",
       {"A.1201#f,1,3\r\n", "!\r\n", "D.3,x#abc", "I.261#2\r\n", "D.3,e#abc", "!\r\n"}},
      {"damaged block answered 1",
       "bad_block_answer = 1\n",
       {"A.1201#f,1,3\r\n", "!\r\n", "D.3,x#abc", "I.261#1\r\n"}},
      {"listed block damaged once",
       "bad_blocks = 1\n",
       {"A.1201#f,1,3\r\n", "!\r\n", "D.3,e#abc", "I.261#2\r\n", "D.3,e#abc", "!\r\n"}},
      {"file it holds", "holds = f\n", {"A.1201#f,1,3\r\n", "I.260\r\n"}},
      {"size other than announced",
       "",
       {"A.1201#f,1,4\r\n", "!\r\n", "D.3,e#abc", "!\r\n", "A.1202\r\n", "?\r\n"}},
      {"more than announced", "", {"A.1201#f,1,2\r\n", "!\r\n", "D.3,e#abc", "?\r\n"}},
      {"block without a file", "", {"D.3,e#abc", "?\r\n"}},
      {"block over 2000 bytes", "", {"D.2001,", "?\r\n"}},
      {"header without size", "", {"A.1201#f,1\r\n", "?\r\n"}},
      {"name leaving the folder", "", {"A.1201#..\\f,1,3\r\n", "?\r\n"}},
      {"close without a file", "", {"A.1202\r\n", "?\r\n"}},
  };
  for (const Case& c : cases) {
    Bench b(c.profile);
    for (size_t i = 0; i + 1 < c.exchange.size(); i += 2)
      EXPECT_EQ(b.Say(c.exchange[i]), c.exchange[i + 1]) << c.name << ", step " << i / 2;
  }
}

}  // namespace
