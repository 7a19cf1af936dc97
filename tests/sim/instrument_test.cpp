// The instrument model in-process on a hand-moved clock: line model, timing, answers, faults.
#include "sim/instrument.h"

#include <gtest/gtest.h>

#include "sim/normal_mode.h"

namespace {

struct Bench {
  explicit Bench(const std::string& profileText) {
    std::vector<std::string> errors;
    profile = sim::ParseProfile(profileText, errors);
    EXPECT_TRUE(errors.empty()) << errors.front();
    instrument = std::make_unique<sim::Instrument>(profile, [this] { return now; });
    instrument->SetHostLine(9600, sim::Parity::None, 8, 2);
  }
  void Send(const std::string& text) {
    instrument->Receive(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  }
  std::string Take(int64_t afterMs = 0) {
    now += afterMs;
    auto bytes = instrument->TakeOutput(now);
    return {bytes.begin(), bytes.end()};
  }
  // Sends a command and collects what is due in the next ms.
  std::string Say(const std::string& command, int64_t ms = 50) {
    Send(command + "\r\n");
    return Take(ms);
  }
  sim::Profile profile;
  int64_t now = 1000;
  std::unique_ptr<sim::Instrument> instrument;
};

TEST(Instrument, IgnoresBytesSentAtOtherSettings) {
  struct Case {
    const char* profile;
    int baud;
    sim::Parity parity;
    bool heard;
  } cases[] = {
      {"", 4800, sim::Parity::None, false},
      {"", 9600, sim::Parity::Unknown, true},  // a pty: parity cannot be seen
      {"", 9600, sim::Parity::Even, true},     // not compared unless asked
      {"[line]\ncheck_format = 1\n", 9600, sim::Parity::Even, false},
      {"[line]\ncheck_format = 1\n", 9600, sim::Parity::None, true},
      {"[line]\nbaud = 19200\n", 9600, sim::Parity::None, false},
  };
  for (const auto& c : cases) {
    Bench b(c.profile);
    b.instrument->SetHostLine(c.baud, c.parity, 8, 1);
    EXPECT_EQ(b.Say("A.1111"), c.heard ? "!\r\n" : "") << c.profile << " " << c.baud;
    EXPECT_EQ(b.instrument->Seen().ignoredBytes, c.heard ? 0 : 8);
  }
}

TEST(Instrument, AnswersAfterItsDelayAndPacesBytesAtWireTime) {
  Bench b("[line]\nanswer_delay_ms = 10\n");
  b.Send("A.1111\r\n");
  EXPECT_EQ(b.instrument->NextEventMs(), 1010);
  EXPECT_EQ(b.Take(9), "");
  EXPECT_EQ(b.Take(1), "!\r\n");

  // 9600 baud: 1146 us a character. The command's 8 characters arrive by 9.2 ms, the answer
  // leaves 10 ms later and its 3 characters take 3.4 ms more.
  Bench paced("[line]\nanswer_delay_ms = 10\npace = 1\n");
  paced.Send("A.1111\r\n");
  EXPECT_EQ(paced.Take(20), "");
  EXPECT_EQ(paced.Take(1), "!");
  EXPECT_EQ(paced.Take(2), "\r\n");
}

TEST(Instrument, FaultSwitchesOfNormalMode) {
  Bench silent("[faults]\nsilent = 1\n");
  EXPECT_EQ(silent.Say("A.1111"), "");
  EXPECT_EQ(silent.Say("A.1111"), "!\r\n");

  Bench late("[faults]\nlate = 2\nlate_ms = 6000\n");
  EXPECT_EQ(late.Say("A.1000"), "!\r\n");
  EXPECT_EQ(late.Say("A.2003", 5000), "");
  EXPECT_EQ(late.Take(1100), "I.23#41000.001\r\n");

  Bench noise("[faults]\nnoise = 1\nnoise_bytes = 00 FF\n");
  EXPECT_EQ(noise.Say("A.1111"), std::string("\x00\xFF!\r\n", 5));

  Bench cut("[faults]\ndisconnect = 1\n");
  EXPECT_EQ(cut.Say("A.1111"), "!\r\n");
  EXPECT_TRUE(cut.instrument->Disconnected());
  EXPECT_EQ(cut.Say("A.1111"), "");
}

TEST(Instrument, StartupVersionArrivesInAReadOfItsOwn) {
  Bench b("[identity]\nstartup_version = 3.10\n");
  EXPECT_EQ(b.Say("A.2001", 50), "I.2011#3.10\r\n");
  EXPECT_EQ(b.Take(100), "I.21#1.20\r\n");
}

TEST(Instrument, ExtraAnswersFollowTheirCommandApart) {
  Bench b(
      "[identity]\nvariant = K\nvariant_after = A.2000\nsend_262_after = A.4001\n"
      "send_920_after = A.1000\n");
  EXPECT_EQ(b.Say("A.2000"), "I.20#20363.000\r\n");
  EXPECT_EQ(b.Take(150), "I.208#K\r\n");
  EXPECT_EQ(b.Say("A.4001"), "I.25#12345678\r\n");
  EXPECT_EQ(b.Take(150), "I.262\r\n");
  EXPECT_EQ(b.Say("A.1000"), "!\r\n");
  EXPECT_EQ(b.Take(150), "I.920\r\n");
}

TEST(Instrument, RepliesOfTheProfileReplaceTheBuiltInOnes) {
  Bench b(
      "[replies]\nA.1600 = 31\nA.1121 = none\nA.2003 = ?\nA.1500 = C.1500 done\n"
      "A.1111 = none\n");
  EXPECT_EQ(b.Say("A.1600#123"), "I.31\r\n");
  EXPECT_EQ(b.instrument->Seen().clock, "123");  // recorded whatever the answer
  EXPECT_EQ(b.Say("A.1121"), "");
  EXPECT_EQ(b.Say("A.2003"), "?\r\n");
  EXPECT_EQ(b.Say("A.1500"), "C.1500 done\r\n");
  EXPECT_EQ(b.Say("A.1111"), "");  // a start-mode-1 instrument: only "A.1000" is a probe
  EXPECT_EQ(b.Say("A.1000"), "!\r\n");
  EXPECT_EQ(b.Say("A.2100"), "");  // built-in: recorded, not answered
  EXPECT_EQ(b.instrument->Seen().Count("A.2100"), 1);
}

TEST(Instrument, PasswordAnswerCarriesTheVectorsOfItsFlash) {
  Bench classic("[bootloader]\ntarget = classic\nreset_vector = 0x3100\n");
  EXPECT_EQ(classic.Say("A.5577"), "I.80#0x3100\r\n");
  Bench f5xx("[bootloader]\ntarget = f5xx\n[protocol]\npassword_groups = 2\n");
  EXPECT_EQ(f5xx.Say("A.5555"), "I.80#0x5C000xFFFF\r\n");
  Bench claimed("[bootloader]\ntarget = f5xx\n[protocol]\npassword_word = 0x1234\n");
  EXPECT_EQ(claimed.Say("A.5555"), "I.80#0x1234\r\n");
}

TEST(Instrument, OverlongAndEmptyLines) {
  Bench b("");
  EXPECT_EQ(b.Say(""), "");
  EXPECT_EQ(b.Say(std::string(5000, 'x')), "?\r\n");
  EXPECT_EQ(b.Say("A.1111"), "!\r\n");
  EXPECT_EQ(b.instrument->Seen().commands.size(), 2u);
}

TEST(Instrument, MultiFileNamesBecomeSafeRelativePaths) {
  struct Case {
    const char* name;
    const char* path;
  } cases[] = {
      {"a.bin", "a.bin"},  {"sub\\a.bin", "sub/a.bin"}, {".\\x//y", "x/y"}, {"..\\a.bin", ""},
      {"sub/../../a", ""}, {"c:\\a.bin", ""},           {"", ""},           {"\\", ""},
      {"a\tb", ""}};
  for (const auto& c : cases) EXPECT_EQ(sim::SafeRelativePath(c.name), c.path) << c.name;
}

}  // namespace

namespace {

// The menu family's boot loader answers the search's request frame at 38400 baud with its
// identification between the variant's markers.
TEST(Instrument, FrameBootLoaderAnswersTheRequestWithItsIdentification) {
  const struct {
    const char* profile;
    std::string answer;
  } cases[] = {
      {"", std::string("h00h\x00\x01\x1DTG480E-BL 1.00\x0C\x00\x16", 24)},
      {"frame_variant = 1\nframe_id = OXI 2.1\n",
       std::string("h11h\x00\x01\x1EOXI 2.1\x0A\x00\x16", 17)},
      {"frame_variant = 2\nframe_id = X\n", std::string("h,,h\x00\x01\x19X\x0C\x00\x16", 11)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.profile);
    Bench b(std::string("[bootloader]\ntarget = frame\nstart_in_bootloader = 1\n") + c.profile);
    b.Send(std::string("\x68\x00\x00\x68\x00\x00\x00\x00\x16", 9));
    EXPECT_EQ(b.Take(50), "");  // at 9600 nothing is heard
    b.instrument->SetHostLine(38400, sim::Parity::None, 8, 1);
    b.Send("A.1111\r\n");
    EXPECT_EQ(b.Take(50), "");  // a normal-mode line is no request
    b.Send(std::string("\x68\x00\x00\x68\x00\x00\x00\x00\x16", 9));
    EXPECT_EQ(b.Take(50), c.answer);
  }
}

}  // namespace
