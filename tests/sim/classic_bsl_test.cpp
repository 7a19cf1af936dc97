// The classic boot-loader target in-process, driven by the test's own classic host.
#include "sim/classic_bsl.h"

#include <gtest/gtest.h>

#include "sim/instrument.h"
#include "tests/sim/classic_client.h"

namespace simtest {
namespace {

constexpr int kAck = ClassicClient::kAck, kNak = ClassicClient::kNak;
constexpr int kFrame = ClassicClient::kFrame, kNone = ClassicClient::kNone;

// An instrument waiting in its classic boot loader, and a host at 9600 baud.
struct Rig {
  explicit Rig(const std::string& extra, bool inBootLoader = true) {
    std::vector<std::string> errors;
    profile = sim::ParseProfile(std::string("[bootloader]\ntarget = classic\n") +
                                    (inBootLoader ? "start_in_bootloader = 1\n" : "") + extra,
                                errors);
    EXPECT_TRUE(errors.empty()) << errors.front();
    instrument = std::make_unique<sim::Instrument>(profile, [this] { return now; });
    line = std::make_unique<InProcess>(*instrument, now);
    line->SetBaud(9600);
    host = std::make_unique<ClassicClient>(*line);
  }
  int Unlock() { return host->Password(VectorsWithReset(0x1100)); }
  sim::Memory& Flash() { return *instrument->Flash(); }

  int64_t now = 0;
  sim::Profile profile;
  std::unique_ptr<sim::Instrument> instrument;
  std::unique_ptr<InProcess> line;
  std::unique_ptr<ClassicClient> host;
};

TEST(ClassicBsl, ChecksumOfThePublishedExamples) {
  const std::vector<uint8_t> abc{'a', 'b', 'c', 0};
  const std::vector<uint8_t> version{0x80, 0x1E, 0x04, 0x04, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(sim::ClassicChecksum(abc), 0x9DFD);
  EXPECT_EQ(sim::ClassicChecksum(version), 0xE57B);  // CKL 7B, CKH E5
  EXPECT_EQ(ClassicClient::Checksum(abc), 0x9DFD);
  EXPECT_EQ(ClassicClient::Checksum(version), 0xE57B);
}

TEST(ClassicBsl, SyncFramesAndBadFrames) {
  Rig rig("");
  EXPECT_EQ(rig.host->Sync(), kAck);
  auto bad = ClassicClient::Frame(0x1E, 0, 0, 0, {});
  bad.back() ^= 1;
  rig.line->Write(bad);
  EXPECT_EQ(rig.host->Answer(nullptr), kNak);
  EXPECT_EQ(rig.host->Sync(), kAck);
  rig.line->Write({0x80, 0x1E, 0x04, 0x06, 0, 0, 0, 0, 0, 0});  // L1 and L2 differ
  EXPECT_EQ(rig.host->Answer(nullptr), kNak);
  // A frame without its synchronisation character: the header byte is taken for one.
  rig.line->Write(ClassicClient::Frame(0x1E, 0, 0, 0, {}));
  EXPECT_EQ(rig.host->Answer(nullptr), kAck);
  EXPECT_EQ(rig.host->Answer(nullptr), kNone);
  EXPECT_EQ(rig.instrument->Seen().badFrames, 2);  // the rest was dropped as stray bytes
  std::vector<uint8_t> data;
  EXPECT_EQ(rig.host->Version(data), kFrame);  // and the boot loader still works
}

TEST(ClassicBsl, LoneHeaderThatNothingFollowsIsASync) {
  Rig rig("");
  EXPECT_EQ(rig.host->Sync(), kAck);
  EXPECT_EQ(rig.host->Sync(), kAck);  // its first answer was lost, say: the host syncs again
  std::vector<uint8_t> data;
  rig.line->Write(ClassicClient::Frame(0x1E, 0, 'X', 'X', {}));
  EXPECT_EQ(rig.host->Answer(&data), kFrame);
}

TEST(ClassicBsl, ProtectedCommandsWaitForThePassword) {
  Rig rig("initial_flash = code_only\n");  // the erase check finds 0x3000 erased
  std::vector<uint8_t> data;
  struct Step {
    const char* name;
    std::function<int()> run;
    int locked, unlocked;
  } steps[] = {
      {"write",
       [&] {
         return rig.host->Write(0x2000, {1, 2});
       },
       kNak, kAck},
      {"read", [&] { return rig.host->Read(0x2000, 2, data); }, kNak, kFrame},
      {"erase", [&] { return rig.host->Erase(0x2000); }, kNak, kAck},
      {"erase check", [&] { return rig.host->Command(0x1C, 0x3000, 0x10, 0); }, kNak, kAck},
      {"version", [&] { return rig.host->Version(data); }, kFrame, kFrame},
      {"baud rate", [&] { return rig.host->ChangeBaud(0x00, 0xC8, 0); }, kAck, kAck},
  };
  for (auto& s : steps) EXPECT_EQ(s.run(), s.locked) << s.name;
  EXPECT_EQ(rig.host->Password(VectorsWithReset(0x1234)), kAck);  // wrong, but acknowledged
  EXPECT_EQ(rig.host->Erase(0x2000), kNak);
  EXPECT_EQ(rig.Unlock(), kAck);
  for (auto& s : steps) EXPECT_EQ(s.run(), s.unlocked) << s.name;
  EXPECT_TRUE(rig.instrument->Seen().passwordAccepted);
  EXPECT_EQ(rig.instrument->Seen().wrongPasswords, 1);
}

TEST(ClassicBsl, VersionsDifferInWhatTheyTake) {
  struct Case {
    const char* version;
    int txVersion, baud, offset;
  } cases[] = {{"1.10", kNak, kNak, kNak},
               {"1.40", kNak, kNak, kNak},
               {"1.60", kFrame, kAck, kNak},
               {"2.13", kFrame, kAck, kAck}};
  for (const auto& c : cases) {
    Rig rig(std::string("chip_id = 0xF26F\nversion = ") + c.version + "\n");
    std::vector<uint8_t> data;
    ASSERT_EQ(rig.Unlock(), kAck);
    EXPECT_EQ(rig.host->Version(data), c.txVersion) << c.version;
    if (c.txVersion == kFrame) {
      ASSERT_EQ(data.size(), 16u);
      EXPECT_EQ(data[0] << 8 | data[1], 0xF26F);
    }
    // Every version: the same bytes in memory at 0x0FF0, version at 0x0FFA.
    EXPECT_EQ(rig.host->Read(0x0FF0, 14, data), kFrame);
    EXPECT_EQ(data[0] << 8 | data[1], 0xF26F);
    char text[8];
    std::snprintf(text, sizeof text, "%X.%02X", data[10], data[11]);
    EXPECT_STREQ(text, c.version);
    EXPECT_EQ(rig.host->Offset(0), c.offset) << c.version;
    EXPECT_EQ(rig.host->ChangeBaud(0x00, 0xC8, 0), c.baud) << c.version;  // stays at 9600
  }
}

TEST(ClassicBsl, FlashProgrammingCanOnlyClearBits) {
  Rig rig("initial_flash = code_only\n");  // 0x2000 starts erased
  std::vector<uint8_t> data;
  ASSERT_EQ(rig.Unlock(), kAck);
  EXPECT_EQ(rig.host->Write(0x2000, {0xF0, 0x0F}), kAck);
  EXPECT_EQ(rig.host->Write(0x2000, {0x3C, 0x3C}), kAck);
  EXPECT_EQ(rig.host->Read(0x2000, 2, data), kFrame);
  EXPECT_EQ(data, (std::vector<uint8_t>{0x30, 0x0C}));           // unerased: the read-back differs
  EXPECT_EQ(rig.host->Command(0x16, 0x2000, 0x06, 0xA5), kNak);  // not the segment-erase code
  EXPECT_EQ(rig.host->Erase(0x2000), kAck);
  EXPECT_EQ(rig.host->Write(0x2000, {0x3C, 0x3C}), kAck);
  EXPECT_EQ(rig.host->Read(0x2000, 2, data), kFrame);
  EXPECT_EQ(data, (std::vector<uint8_t>{0x3C, 0x3C}));
  EXPECT_EQ(rig.host->Write(0x0FF0, {0, 0}), kNak);  // boot-loader ROM
  EXPECT_EQ(rig.host->Read(0x2000, 0, data), kNak);
  EXPECT_EQ(rig.host->MassErase(), kAck);
  EXPECT_TRUE(rig.Flash().IsErased(0x1000, 0x1F000));
}

TEST(ClassicBsl, SpeedChangeIsAcknowledgedAtTheOldSpeed) {
  Rig rig("version = 1.61\nbaud_clock = 0x808C\n");
  ASSERT_EQ(rig.host->ChangeBaud(0x80, 0x8C, 2), kAck);
  rig.line->Wait(20);
  EXPECT_EQ(rig.host->Sync(), kNone);  // still at 9600: not heard
  rig.line->SetBaud(38400);
  EXPECT_EQ(rig.host->Sync(), kAck);

  Rig wrong("version = 1.61\nbaud_clock = 0x808C\n");
  ASSERT_EQ(wrong.host->ChangeBaud(0x00, 0xC8, 2), kAck);  // another chip's clock settings
  wrong.line->SetBaud(38400);
  wrong.line->Wait(20);
  EXPECT_EQ(wrong.host->Sync(), kNone);
}

TEST(ClassicBsl, MemoryOffsetReachesAbove64K) {
  Rig rig("version = 2.13\n");
  std::vector<uint8_t> data;
  ASSERT_EQ(rig.Unlock(), kAck);
  EXPECT_EQ(rig.host->Offset(1), kAck);
  EXPECT_EQ(rig.host->Erase(0x0000), kAck);
  EXPECT_EQ(rig.host->Write(0x0000, {0x12, 0x34}), kAck);
  EXPECT_EQ(rig.host->Read(0x0000, 2, data), kFrame);
  EXPECT_EQ(data, (std::vector<uint8_t>{0x12, 0x34}));
  EXPECT_EQ(rig.Flash().Word(0x10000), 0x3412);
  EXPECT_EQ(rig.host->Offset(2), kNak);
  EXPECT_EQ(rig.host->Offset(0), kAck);
  EXPECT_EQ(rig.host->Read(0x0000, 2, data), kFrame);  // back below: peripherals read 0
  EXPECT_EQ(data, (std::vector<uint8_t>{0x00, 0x00}));
}

TEST(ClassicBsl, Version110NeedsItsPatchBeforeEveryBlockCommand) {
  Rig rig("version = 1.10\npatch_address = 0x0220\n");
  std::vector<uint8_t> data;
  ASSERT_EQ(rig.Unlock(), kAck);
  EXPECT_EQ(rig.host->Write(0x0220, {0x30, 0x41}), kAck);  // the patch into RAM
  EXPECT_EQ(rig.host->Read(0x0220, 2, data), kFrame);
  EXPECT_EQ(data, (std::vector<uint8_t>{0x30, 0x41}));
  EXPECT_EQ(rig.host->Erase(0x2000), kAck);  // erasing needs no patch
  EXPECT_EQ(rig.host->Write(0x2000, {1, 2}), kNak);
  EXPECT_EQ(rig.host->LoadPc(0x0220), kAck);  // runs the patch, stays in the boot loader
  EXPECT_EQ(rig.host->Write(0x2000, {1, 2}), kAck);
  EXPECT_EQ(rig.host->Read(0x2000, 2, data), kNak);  // the patch covered one command
  EXPECT_EQ(rig.host->LoadPc(0x0220), kAck);
  EXPECT_EQ(rig.host->Read(0x2000, 2, data), kFrame);
  EXPECT_EQ(rig.host->LoadPc(0x0C22), kAck);  // restarts the boot loader: locked again
  EXPECT_EQ(rig.host->Write(0x0220, {0, 0}), kNak);
  EXPECT_EQ(rig.instrument->Seen().programStarts, 0);
}

// A block command uses the patch call up even when it goes unanswered or is refused by a fault
// switch: its retry is refused until the patch has been called again.
TEST(ClassicBsl, Version110RetryNeedsThePatchAgain) {
  for (const char* fault : {"silent = 4\n", "nak = 4\n", "lost = 4\n"}) {
    SCOPED_TRACE(fault);
    Rig rig(std::string("version = 1.10\npatch_address = 0x0220\n[bootloader_faults]\n") + fault);
    ASSERT_EQ(rig.Unlock(), kAck);                           // frame 1
    EXPECT_EQ(rig.host->Write(0x0220, {0x30, 0x41}), kAck);  // 2: the patch into RAM
    EXPECT_EQ(rig.host->LoadPc(0x0220), kAck);               // 3
    EXPECT_NE(rig.host->Write(0x2000, {1, 2}), kAck);        // 4: the fault
    EXPECT_EQ(rig.host->Write(0x2000, {1, 2}), kNak);
    EXPECT_EQ(rig.host->LoadPc(0x0220), kAck);
    EXPECT_EQ(rig.host->Write(0x2000, {1, 2}), kAck);
  }
}

TEST(ClassicBsl, WrongPasswordBehaviours) {
  Rig later("wrong_password = nak_later\n");
  EXPECT_EQ(later.host->Password(VectorsWithReset(0x0E5A)), kAck);
  EXPECT_EQ(later.host->Erase(0x2000), kNak);
  EXPECT_EQ(later.Flash().Word(0xFFFE), 0x1100);

  Rig erase("wrong_password = mass_erase\n");
  EXPECT_EQ(erase.host->Password(VectorsWithReset(0x0E5A)), kAck);
  EXPECT_EQ(erase.host->Erase(0x2000), kNak);
  EXPECT_TRUE(erase.Flash().IsErased(0x1000, 0x1F000));
  EXPECT_EQ(erase.host->Password(std::vector<uint8_t>(32, 0xFF)), kAck);  // now the erased table
  EXPECT_EQ(erase.host->Erase(0x2000), kAck);
}

TEST(ClassicBsl, FaultSwitchesCountFrames) {
  std::vector<uint8_t> data;
  Rig nak("[bootloader_faults]\nnak = 2\n");
  EXPECT_EQ(nak.host->Version(data), kFrame);
  EXPECT_EQ(nak.host->Version(data), kNak);
  EXPECT_EQ(nak.host->Version(data), kFrame);

  Rig silent("[bootloader_faults]\nsilent = 1\n");
  EXPECT_EQ(silent.host->Version(data), kNone);
  EXPECT_EQ(silent.host->Version(data), kFrame);

  Rig bad("[bootloader_faults]\nbad_checksum = 1\n");
  EXPECT_EQ(bad.host->Version(data), ClassicClient::kBadFrame);

  Rig noise("[bootloader_faults]\nnoise = 1\nnoise_bytes = 55\n");
  EXPECT_EQ(noise.host->Version(data), 0x55);
  EXPECT_EQ(noise.host->Answer(&data), kFrame);

  Rig twice("[bootloader_faults]\nduplicate = 1\n");
  EXPECT_EQ(twice.host->Version(data), kFrame);
  EXPECT_EQ(twice.host->Answer(&data), kFrame);  // the same reply again
  EXPECT_EQ(twice.host->Version(data), kFrame);
  EXPECT_EQ(twice.host->Answer(&data), kNone);

  // Carried out, but the answer is lost.
  Rig lost("[bootloader_faults]\nlost = 2\n");
  ASSERT_EQ(lost.Unlock(), kAck);
  EXPECT_EQ(lost.host->Erase(0x2000), kNone);
  EXPECT_TRUE(lost.Flash().IsErased(0x2000, 0x200));

  Rig cut("[bootloader_faults]\ndisconnect = 1\n");
  EXPECT_EQ(cut.host->Version(data), kFrame);
  EXPECT_TRUE(cut.instrument->Disconnected());
  EXPECT_EQ(cut.host->Sync(), kNone);
}

std::string Text(const std::vector<uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

TEST(ClassicBsl, EntryCommandLeadsToTheBootLoaderAndTheProgramGreetsOnce) {
  Rig rig("start_ms = 300\n[protocol]\nrestart_prompt_ms = 500\n", false);
  rig.instrument->SetHostLine(9600, sim::Parity::None, 8, 2);
  rig.line->Write(Bytes("A.5588#QK48\r\n"));
  EXPECT_EQ(Text(rig.line->Read(8, 100)), "A.5588\r\n");
  EXPECT_EQ(rig.host->Sync(), kNone);  // not yet listening
  rig.line->Wait(300);
  rig.line->SetBaud(9600);  // 8E1
  EXPECT_EQ(rig.host->Sync(), kAck);
  ASSERT_EQ(rig.Unlock(), kAck);
  EXPECT_EQ(rig.host->ChangeBaud(0x00, 0xC8, 2), kAck);
  rig.line->Wait(20);
  rig.line->SetBaud(38400);
  EXPECT_EQ(rig.host->LoadPc(0x1100), kAck);
  EXPECT_TRUE(rig.line->Read(3, 2000).empty());  // waits for the host's line at 9600
  rig.instrument->SetHostLine(9600, sim::Parity::None, 8, 2);
  EXPECT_TRUE(rig.line->Read(3, 499).empty());
  EXPECT_EQ(Text(rig.line->Read(3, 1)), "!\r\n");
  EXPECT_TRUE(rig.line->Read(1, 10000).empty());  // exactly one
  rig.line->Write(Bytes("A.1000\r\n"));
  EXPECT_EQ(Text(rig.line->Read(3, 100)), "!\r\n");
  EXPECT_EQ(rig.instrument->Seen().startAddress, "0x1100");
  EXPECT_EQ(rig.instrument->Seen().promptsAfterProgram, 1);
}

TEST(ClassicBsl, ProgramWithAnErasedResetVectorDoesNotRun) {
  Rig rig("[protocol]\nrestart_prompt_ms = 0\n");
  ASSERT_EQ(rig.Unlock(), kAck);
  ASSERT_EQ(rig.host->Erase(0xFFFE), kAck);
  EXPECT_EQ(rig.host->LoadPc(0x1100), kAck);
  rig.instrument->SetHostLine(9600, sim::Parity::None, 8, 2);
  EXPECT_TRUE(rig.line->Read(1, 5000).empty());
  rig.line->Write(Bytes("A.1000\r\n"));
  EXPECT_TRUE(rig.line->Read(1, 1000).empty());
  EXPECT_EQ(rig.instrument->Seen().programStarts, 1);
}

}  // namespace
}  // namespace simtest

namespace simtest {
namespace {

// The fault switch that fails whole programmings: erases and data blocks are refused until as many
// sessions (each opened by a password) have gone by, then the boot loader works again.
TEST(ClassicBsl, FailingSessionsRefuseEveryDataBlock) {
  Rig rig("initial_flash = code_only\n[bootloader_faults]\nfail_sessions = 1\n");
  EXPECT_EQ(rig.Unlock(), kAck);
  EXPECT_EQ(rig.host->ChangeBaud(0x00, 0xC8, 0), kNak);  // the next session starts at 9600
  EXPECT_EQ(rig.host->Erase(0x2000), kNak);
  EXPECT_EQ(rig.host->Write(0x2000, {1, 2}), kNak);
  EXPECT_EQ(rig.host->Write(0x2002, {3, 4}), kNak);
  EXPECT_EQ(rig.Unlock(), kAck);
  EXPECT_EQ(rig.host->Erase(0x2000), kAck);
  EXPECT_EQ(rig.host->Write(0x2000, {1, 2}), kAck);
  EXPECT_EQ(rig.Flash().Read(0x2001), 2);
  EXPECT_EQ(rig.instrument->Seen().passwordFrames, 2);
}

}  // namespace
}  // namespace simtest
