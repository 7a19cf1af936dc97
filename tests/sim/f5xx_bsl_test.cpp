// The F5xx boot-loader target in-process, driven by the test's own F5xx host.
#include "sim/f5xx_bsl.h"

#include <gtest/gtest.h>

#include "sim/instrument.h"
#include "tests/sim/f5xx_client.h"

namespace simtest {
namespace {

using Bytes_ = std::vector<uint8_t>;

struct Rig {
  explicit Rig(const std::string& extra = "") {
    std::vector<std::string> errors;
    profile =
        sim::ParseProfile("[bootloader]\ntarget = f5xx\nstart_in_bootloader = 1\n" + extra, errors);
    EXPECT_TRUE(errors.empty()) << errors.front();
    instrument = std::make_unique<sim::Instrument>(profile, [this] { return now; });
    line = std::make_unique<InProcess>(*instrument, now);
    line->SetBaud(9600);
    host = std::make_unique<F5xxClient>(*line);
  }
  int Unlock() { return host->Password(F5xxPassword(0x5C00)).Status(); }
  // Sends raw bytes and returns everything that comes back within 200 ms.
  Bytes_ Raw(const Bytes_& bytes) {
    line->Write(bytes);
    return line->Read(1000, 200);
  }
  sim::Memory& Flash() { return *instrument->Flash(); }

  int64_t now = 0;
  sim::Profile profile;
  std::unique_ptr<sim::Instrument> instrument;
  std::unique_ptr<InProcess> line;
  std::unique_ptr<F5xxClient> host;
};

TEST(F5xxBsl, CrcOfThePublishedExamples) {
  struct Case {
    Bytes_ bytes;
    uint16_t crc;
  } cases[] = {{{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 0x29B1},
               {{0x52, 0x02}, 0x5590},
               {{0x19}, 0x62E8},
               {{0x3A, 0x00, 0x01, 0x01, 0x01}, 0x4F6C},
               {{0x3B, 0x00}, 0xC460}};
  for (const auto& c : cases) {
    EXPECT_EQ(sim::Crc16Ccitt(c.bytes.data(), c.bytes.size()), c.crc);
    EXPECT_EQ(F5xxClient::Crc(c.bytes), c.crc);
  }
}

TEST(F5xxBsl, DocumentedExchangesByteForByte) {
  Rig rig;
  EXPECT_EQ(rig.Raw({0x80, 0x01, 0x00, 0x19, 0xE8, 0x62}),
            (Bytes_{0x00, 0x80, 0x05, 0x00, 0x3A, 0x00, 0x01, 0x01, 0x01, 0x6C, 0x4F}));
  EXPECT_EQ(rig.Raw(F5xxClient::Frame([] {
    Bytes_ core{0x11};
    auto p = F5xxPassword(0x5C00);
    core.insert(core.end(), p.begin(), p.end());
    return core;
  }())),
            (Bytes_{0x00, 0x80, 0x02, 0x00, 0x3B, 0x00, 0x60, 0xC4}));
  EXPECT_EQ(rig.Raw({0x80, 0x02, 0x00, 0x52, 0x02, 0x90, 0x55}), (Bytes_{0x00}));
  Rig wrong;
  Bytes_ core{0x11};
  auto p = F5xxPassword(0x1234);
  core.insert(core.end(), p.begin(), p.end());
  EXPECT_EQ(wrong.Raw(F5xxClient::Frame(core)),
            (Bytes_{0x00, 0x80, 0x02, 0x00, 0x3B, 0x05, 0xC5, 0x94}));
}

TEST(F5xxBsl, UartErrorsAndUnknownCommands) {
  Rig rig;
  auto badCrc = F5xxClient::Frame({0x19});
  badCrc.back() ^= 1;
  Bytes_ tooLong{0x80, 0x2C, 0x01};                  // 300 bytes announced
  Bytes_ unknown = F5xxClient::Frame({0x3B, 0x07});  // acknowledged, then status 7
  unknown.insert(unknown.begin(), 0x00);
  struct Case {
    const char* name;
    Bytes_ sent, answer;
  } cases[] = {
      {"stray bytes", {'\r', '\n'}, {0x51, 0x51}},
      {"bad CRC", badCrc, {0x52}},
      {"size zero", {0x80, 0x00, 0x00}, {0x53}},
      {"too long", tooLong, {0x54}},
      {"unknown baud rate", F5xxClient::Frame({0x52, 0x07}), {0x56}},
      {"unknown command", F5xxClient::Frame({0x33}), unknown},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rig.Raw(c.sent), c.answer) << c.name;
    rig.line->Wait(100);  // the line is quiet: a discarded frame is over
  }
  EXPECT_EQ(rig.host->Version().kind, 0x3A);  // and the boot loader still works
}

TEST(F5xxBsl, ProtectedCommandsAnswerLockedUntilThePassword) {
  Rig rig;
  struct Step {
    const char* name;
    std::function<F5xxClient::Answer()> run;
    int lockedStatus, unlockedKind;
  } steps[] = {
      {"write",
       [&] {
         return rig.host->Write(0x6000, {1, 2});
       },
       4, 0x3B},
      {"read", [&] { return rig.host->Read(0x6000, 2); }, 4, 0x3A},
      {"erase", [&] { return rig.host->Erase(0x6000); }, 4, 0x3B},
      {"crc",
       [&] {
         return rig.host->Send({0x16, 0x00, 0x60, 0x00, 0x10, 0x00});
       },
       4, 0x3A},
      {"load pc", [&] { return rig.host->Send(F5xxClient::WithAddress(0x17, 0x5C00)); }, 4, 0},
  };
  for (auto& s : steps) EXPECT_EQ(s.run().Status(), s.lockedStatus) << s.name;
  EXPECT_EQ(rig.host->Version().kind, 0x3A);  // needs no password
  ASSERT_EQ(rig.Unlock(), 0);
  for (auto& s : steps) {
    if (s.unlockedKind == 0) continue;
    auto a = s.run();
    EXPECT_EQ(a.kind, s.unlockedKind) << s.name;
    if (a.kind == 0x3B) {
      EXPECT_EQ(a.Status(), 0) << s.name;
    }
  }
}

TEST(F5xxBsl, WrongPasswordErasesMainMemory) {
  for (int size : {32, 16}) {
    Rig rig("password_bytes = " + std::to_string(size) + "\ninitial_flash = code_only\n");
    rig.Flash().Write(0x1800, 0x12);  // information memory survives
    EXPECT_EQ(rig.host->Password(F5xxPassword(0x1E08)).Status(), 5);
    EXPECT_EQ(rig.Flash().Word(0xFFFE), 0xFFFF);
    EXPECT_TRUE(rig.Flash().IsErased(0x5C00, 0x20000));
    EXPECT_EQ(rig.Flash().Read(0x1800), 0x12);
    EXPECT_EQ(rig.host->Erase(0x6000).Status(), 4);
    auto erased = std::vector<uint8_t>(32, 0xFF);
    if (size == 16) erased.resize(16);
    EXPECT_EQ(rig.host->Password(erased).Status(), 0)
        << size;  // the erased table is the password now
  }
}

TEST(F5xxBsl, FlashWithThreeByteAddresses) {
  Rig rig;
  ASSERT_EQ(rig.Unlock(), 0);
  EXPECT_EQ(rig.host->Erase(0x10000).Status(), 0);
  EXPECT_EQ(rig.host->Write(0x10010, {0xF0, 0x0F}).Status(), 0);
  EXPECT_EQ(rig.host->Write(0x10010, {0x3C, 0x3C}).Status(), 0);
  EXPECT_EQ(rig.host->Read(0x10010, 2).data, (Bytes_{0x30, 0x0C}));  // not erased in between
  auto crc = rig.host->Send({0x16, 0x10, 0x00, 0x01, 0x02, 0x00});
  EXPECT_EQ(crc.data, (Bytes_{static_cast<uint8_t>(F5xxClient::Crc({0x30, 0x0C})),
                              static_cast<uint8_t>(F5xxClient::Crc({0x30, 0x0C}) >> 8)}));
  EXPECT_EQ(rig.host->Read(0x1A04, 2).data, (Bytes_{0x05, 0x80}));  // device identifier
  EXPECT_EQ(rig.host->Write(0x1A04, {0}).Status(), 1);              // not writable
  EXPECT_EQ(rig.host->Write(0x1980, {0}).Status(), 1);              // information A locked
  EXPECT_EQ(rig.host->Send({0x13}).Status(), 0);
  EXPECT_EQ(rig.host->Write(0x1980, {0}).Status(), 0);
  EXPECT_EQ(rig.host->Read(0x5C00, 255).Status(), 8);
  EXPECT_EQ(rig.host->MassErase().Status(), 0);
  EXPECT_TRUE(rig.Flash().IsErased(0x5C00, 0x20000));
}

TEST(F5xxBsl, SpeedChangeAfterTheAcknowledgement) {
  Rig rig;
  EXPECT_EQ(rig.host->ChangeBaud(0x04).ack, 0);
  rig.line->Wait(20);
  EXPECT_EQ(rig.host->Version().ack, -1);  // still at 9600: not heard
  rig.line->SetBaud(38400);
  EXPECT_EQ(rig.host->Version().kind, 0x3A);
}

TEST(F5xxBsl, FaultSwitchesAndStalledFrames) {
  Rig faults("[bootloader_faults]\nnak = 1\nbad_checksum = 2\nsilent = 3\n");
  EXPECT_EQ(faults.host->Version().ack, 0x52);
  EXPECT_EQ(faults.host->Version().kind, -2);
  EXPECT_EQ(faults.host->Version().ack, -1);
  EXPECT_EQ(faults.host->Version().kind, 0x3A);

  Rig twice("[bootloader_faults]\nduplicate = 1\n");  // acknowledgement and response again
  const F5xxClient::Answer first = twice.host->Version();
  const F5xxClient::Answer again = twice.host->ReadAnswer(true);
  EXPECT_EQ(first.kind, 0x3A);
  EXPECT_EQ(again.ack, 0);
  EXPECT_EQ(again.kind, 0x3A);
  EXPECT_EQ(again.data, first.data);
  EXPECT_EQ(twice.host->Version().kind, 0x3A);
  EXPECT_TRUE(twice.line->Read(1, 200).empty());

  Rig stall;
  auto frame = F5xxClient::Frame({0x19});
  stall.line->Write(Bytes_(frame.begin(), frame.begin() + 3));
  EXPECT_TRUE(stall.line->Read(1, 200).empty());  // half a frame: dropped after the gap
  EXPECT_EQ(stall.host->Version().kind, 0x3A);
  EXPECT_EQ(stall.instrument->Seen().badFrames, 1);
}

TEST(F5xxBsl, LoadProgramCounterStartsTheProgram) {
  Rig rig("[protocol]\nrestart_prompt_ms = 300\n");
  ASSERT_EQ(rig.Unlock(), 0);
  EXPECT_EQ(rig.host->LoadPc(0x5C00).ack, 0);
  rig.instrument->SetHostLine(9600, sim::Parity::None, 8, 2);
  auto prompt = rig.line->Read(3, 1000);
  EXPECT_EQ(std::string(prompt.begin(), prompt.end()), "!\r\n");
  EXPECT_EQ(rig.instrument->Seen().startAddress, "0x5C00");
}

}  // namespace
}  // namespace simtest
