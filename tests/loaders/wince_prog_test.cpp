// The WinCE transfer against the in-process simulated instrument on the virtual clock: the real
// reply parser and window-message bridge of the engine, the port double, files in a temporary
// package folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "loaders/wince/wince_prog.h"
#include "tests/msp430/loader_rig.h"

namespace loaders {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string Pattern(size_t size, int seed) {
  std::string data(size, '\0');
  uint32_t x = 0x9E3779B9u * static_cast<uint32_t>(seed + 1);
  for (char& c : data) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return data;
}

class WinCeTransfer : public msp430_test::LoaderRig {
 protected:
  static constexpr const char* kReceiver = "[wince]\nreceiver = 1\n";

  // The instrument with its receiver and the profile's further lines (in its [wince] section
  // unless they name another), its start-up program at version 1.20.
  void Begin(const std::string& profileText = "") {
    Start(std::string(kReceiver) + profileText);
    update::RunStateAccess::Record(*engine).StartupVer = 120;
  }

  std::string File(const std::string& name, size_t size, int seed) {
    const std::string data = Pattern(size, seed);
    folder.Write(name, data);
    return data;
  }

  bool Download(const std::string& file, bool forced = false) {
    TWinCEProg transfer(Host());
    return transfer.Download(0, file, forced).programmed;
  }

  // The instrument's record of the lines and blocks it received.
  std::vector<std::string> Commands() const { return instrument->Seen().commands; }
  std::vector<std::string> CommandHeads() const {
    std::vector<std::string> heads;
    for (const std::string& c : Commands()) heads.push_back(c.substr(0, c.find('#')));
    return heads;
  }
  const sim::ReceivedFile* Received(const std::string& name) const {
    for (const sim::ReceivedFile& f : instrument->Seen().files)
      if (f.name == name) return &f;
    return nullptr;
  }
  void ExpectReceived(const std::string& name, const std::string& data) const {
    const sim::ReceivedFile* file = Received(name);
    ASSERT_NE(file, nullptr) << name;
    EXPECT_TRUE(file->complete) << name;
    EXPECT_EQ(std::string(file->data.begin(), file->data.end()), data) << name;
    EXPECT_NE(file->timeStamp, 0u) << name;
  }
  // Posts the escape key once virtual time has reached atMs.
  void PressEscapeAt(uint32_t atMs) {
    escape_ = windows.CreateTimer();
    escape_->SetInterval(atMs);
    escape_->SetHandler([this](core::WindowTimer& timer) {
      timer.SetEnabled(false);
      events.queue.PostKey(core::KEY_ESCAPE);
      events.pump.PumpEvents();
    });
    escape_->SetEnabled(true);
  }

 private:
  std::unique_ptr<core::WindowTimer> escape_;
};

TEST_F(WinCeTransfer, MainFileInBlocksOf2000ThenTheLineReturnsToItsSpeed) {
  Begin();
  const std::string data = File("Main.exe", 4500, 1);
  ASSERT_TRUE(Download("Main.exe"));
  // One switch up, one back: the acknowledgement of the switch that arrives during the wait
  // for the line does not start the switch again.
  EXPECT_THAT(CommandHeads(),
              ElementsAre("A.1000", "A.1300", "A.1201", "D.<2000 bytes>", "D.<2000 bytes>",
                          "D.<500 bytes>", "A.1202", "A.1203", "A.1300"));
  EXPECT_EQ(Commands()[1], "A.1300#38400");
  EXPECT_THAT(Commands()[2], StartsWith("A.1201#Main.exe,"));
  EXPECT_THAT(Commands()[2], ::testing::EndsWith(",4500"));
  EXPECT_EQ(Commands().back(), "A.1300#9600");
  ExpectReceived("Main.exe", data);
  EXPECT_EQ(instrument->Seen().ignoredBytes, 0);
  ExpectCleanEnd();
  EXPECT_EQ(view.position, 0);
}

// The header's form is the start-up program's (answer 2011), whatever the main firmware's version.
TEST_F(WinCeTransfer, HeaderFollowsTheStartUpProgramsVersion) {
  struct Case {
    int32_t startupVer;
    int32_t curVer;
    bool forced;
    const char* head;
  };
  const Case cases[] = {
      {105, 110, false, "A.1205"},
      {106, 100, false, "A.1201"},
      {120, 120, true, "A.1205"},
  };
  Begin();
  File("Main.exe", 100, 2);
  for (const Case& c : cases) {
    update::RunStateAccess::Record(*engine).StartupVer = c.startupVer;
    update::RunStateAccess::Record(*engine).CurVer = c.curVer;
    const size_t before = Commands().size();
    ASSERT_TRUE(Download("Main.exe", c.forced));
    ASSERT_GT(Commands().size(), before + 2);
    EXPECT_THAT(Commands()[before + 2], StartsWith(std::string(c.head) + "#Main.exe,"))
        << c.startupVer << " " << c.curVer;
  }
}

// Answers out of turn: a skip answer before any file is announced, and a prompt that arrives
// twice for one command or block. Neither costs a file or ends the transfer early.
TEST_F(WinCeTransfer, AnswerOutOfTurnSkipsNothingAndAcknowledgesNothing) {
  struct Case {
    const char* name;
    const char* profile;
    bool succeeds;
  };
  const Case cases[] = {
      // The opener answered with 260 alone: the transfer never starts, and ends as a failure.
      {"skip answer to the opener", "[replies]\nA.1000 = 260\n", false},
      // Lines 1 A.1000, 2 A.1300, 3 the header; then the blocks.
      {"switch answered twice", "[faults]\nduplicate = 2\n", true},
      {"header answered twice", "[faults]\nduplicate = 3\n", true},
      {"block answered twice", "[faults]\nduplicate = 4\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Begin(c.profile);
    const std::string data = File("Main.exe", 4500, 1);
    EXPECT_EQ(Download("Main.exe"), c.succeeds);
    const std::vector<std::string> commands = Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "A.1300#0"), 0);
    if (c.succeeds) {
      ExpectReceived("Main.exe", data);
      EXPECT_THAT(CommandHeads(),
                  ElementsAre("A.1000", "A.1300", "A.1201", "D.<2000 bytes>", "D.<2000 bytes>",
                              "D.<500 bytes>", "A.1202", "A.1203", "A.1300"));
    } else {
      EXPECT_EQ(std::count(commands.begin(), commands.end(), "A.1203"), 0);
      EXPECT_EQ(Received("Main.exe"), nullptr);
    }
    ExpectCleanEnd();
  }
}

TEST_F(WinCeTransfer, FormerSpeedIsTheLinesNotTheRecords) {
  Begin("[line]\nbaud = 4800\n");
  port->ChangeBaudrate(serial::B__4800);  // the port search found the instrument at 4800
  normalLine = port->Line();
  File("Main.exe", 100, 2);
  ASSERT_TRUE(Download("Main.exe"));
  EXPECT_EQ(Commands().back(), "A.1300#4800");
  ExpectCleanEnd();
}

TEST_F(WinCeTransfer, AdditionalFilesFollowWithoutANewDialogue) {
  Begin();
  const std::string main = File("Main.exe", 2000, 3);
  const std::string dll = File("helper.dll", 10, 4);
  folder.Write("sub/table.bin", Pattern(2001, 5));
  update::RunStateAccess::Record(*engine).DownloadList = {"helper.dll", "sub\\table.bin"};
  ASSERT_TRUE(Download("Main.exe", true));
  EXPECT_THAT(CommandHeads(),
              ElementsAre("A.1000", "A.1300", "A.1205", "D.<2000 bytes>", "A.1202", "A.1205",
                          "D.<10 bytes>", "A.1202", "A.1205", "D.<2000 bytes>", "D.<1 bytes>",
                          "A.1202", "A.1203", "A.1300"));
  ExpectReceived("Main.exe", main);
  ExpectReceived("helper.dll", dll);
  ExpectReceived("sub\\table.bin", Pattern(2001, 5));  // announced as the list names it
  ExpectCleanEnd();
}

TEST_F(WinCeTransfer, FileTheInstrumentHoldsIsSkippedWithoutClosingIt) {
  Begin("holds = helper.dll\n");
  const std::string main = File("Main.exe", 300, 6);
  File("helper.dll", 300, 7);
  const std::string last = File("last.bin", 300, 8);
  update::RunStateAccess::Record(*engine).DownloadList = {"helper.dll", "last.bin"};
  ASSERT_TRUE(Download("Main.exe"));
  EXPECT_THAT(CommandHeads(),
              ElementsAre("A.1000", "A.1300", "A.1201", "D.<300 bytes>", "A.1202", "A.1201",
                          "A.1201", "D.<300 bytes>", "A.1202", "A.1203", "A.1300"));
  EXPECT_THAT(Commands()[5], StartsWith("A.1201#helper.dll,"));
  EXPECT_EQ(Received("helper.dll"), nullptr);
  ExpectReceived("last.bin", last);
  ExpectCleanEnd();
}

TEST_F(WinCeTransfer, DamagedBlockIsSentAgainByteForByte) {
  Begin("bad_blocks = 2\n");
  const std::string data = File("Main.exe", 4500, 9);
  ASSERT_TRUE(Download("Main.exe"));
  const std::string written = port->Written();
  // The second block's frame, taken from the line, twice in a row.
  const size_t first = written.find("D.2000,", written.find("D.2000,") + 1);
  ASSERT_NE(first, std::string::npos);
  const std::string frame = written.substr(first, 2009);
  EXPECT_TRUE(written.substr(first + frame.size(), frame.size()) == frame);
  EXPECT_TRUE(frame.substr(9) == data.substr(2000, 2000));
  EXPECT_EQ(instrument->Seen().badFrames, 1);
  ExpectReceived("Main.exe", data);
  ExpectCleanEnd();
}

TEST_F(WinCeTransfer, ShortMainFileShowsASoundPercentage) {
  Begin();
  File("Main.exe", 500, 10);
  std::set<std::string> shown;
  auto sampler = windows.CreateTimer();
  sampler->SetInterval(5);
  sampler->SetHandler([&](core::WindowTimer&) { shown.insert(view.title); });
  sampler->SetEnabled(true);
  ASSERT_TRUE(Download("Main.exe"));
  sampler->SetEnabled(false);
  for (const std::string& title : shown) {
    EXPECT_THAT(title, ::testing::Not(HasSubstr("nan"))) << title;
    EXPECT_THAT(title, ::testing::Not(HasSubstr("inf"))) << title;
  }
  EXPECT_EQ(shown.count("Update [ 100.0 %]"), 1u) << ::testing::PrintToString(shown);
}

struct FailureCase {
  const char* name;
  std::string profile;
  uint32_t escapeAtMs;  // 0: no escape key
  const char* log;      // part of the logged reason
  bool switched;        // the line had gone up to 38400 when the transfer failed
};

void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.name;
}

class WinCeFailure : public WinCeTransfer, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(WinCeFailure, EndsAsAFailureWithTheLineRestored) {
  const FailureCase& c = GetParam();
  Begin(c.profile);
  File("Main.exe", 4500, 11);
  if (c.escapeAtMs) PressEscapeAt(c.escapeAtMs);
  const uint32_t start = windows.TickCount();
  EXPECT_FALSE(Download("Main.exe"));
  EXPECT_TRUE(view.LogHas(c.log)) << ::testing::PrintToString(view.log);
  EXPECT_EQ(Received("Main.exe") != nullptr && Received("Main.exe")->complete, false);
  const std::vector<std::string> commands = Commands();
  EXPECT_EQ(commands.front(), "A.1000");
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "A.1300#38400"), c.switched ? 1 : 0);
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "A.1203"), 0);
  // Nothing more reaches the instrument once the transfer has ended (the engine, which marks
  // its run failed, takes a late acknowledgement for nothing).
  Run().Failed = true;
  const size_t sent = port->Written().size();
  RunUntil([] { return false; }, 20000);
  EXPECT_EQ(port->Written().size(), sent);
  ExpectCleanEnd();
  if (std::string(c.name) == "NoAcknowledgement") {
    EXPECT_GE(windows.TickCount() - start, TWinCEProg::kAckTimeoutMs);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, WinCeFailure,
    ::testing::Values(
        // Lines: 1 A.1000, 2 A.1300, 3 the header, 4 A.1202.
        FailureCase{"NoAcknowledgement", "[faults]\nsilent = 4\n", 0, "8 Sekunden", true},
        FailureCase{"NoAcknowledgementOfTheOpener", "[faults]\nsilent = 1\n", 0, "8 Sekunden",
                    false},
        FailureCase{"BlockRefused", "bad_blocks = 1\nbad_block_answer = 1\n", 0, "abgewiesen",
                    true},
        FailureCase{"EscapeKeyDuringTheSwitch", "", 1000, "abgebrochen (Esc)", true},
        // Wire time: a block takes about 0.6 s at 38400 bit/s.
        FailureCase{"EscapeKeyBetweenBlocks", "[line]\npace = 1\n", 2500, "abgebrochen (Esc)",
                    true}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST_F(WinCeTransfer, FilesThatCannotBeSentAreRefusedBeforeAnythingIsSent) {
  Begin();
  struct Case {
    const char* name;
    std::vector<std::string> list;
    const char* log;
  };
  File("Main.exe", 100, 12);
  folder.Write("big.bin", std::string(TWinCEProg::kMaxFileSize + 1, 'x'));
  folder.Write("limit.bin", std::string(TWinCEProg::kMaxFileSize, 'y'));
  const Case cases[] = {
      {"missing additional file", {"helper.dll", "gone.dll"}, "Die Datei gone.dll lässt sich"},
      {"file over the buffer", {"big.bin"}, "Die Datei big.bin ist größer als 3000000 Bytes"},
      {"a folder", {"sub"}, "Die Datei sub lässt sich"},
  };
  File("helper.dll", 10, 13);
  std::filesystem::create_directory(folder.Path() / "sub");
  for (const Case& c : cases) {
    update::RunStateAccess::Record(*engine).DownloadList = c.list;
    view.log.clear();
    EXPECT_FALSE(Download("Main.exe")) << c.name;
    EXPECT_TRUE(view.LogHas(c.log)) << c.name << ": " << ::testing::PrintToString(view.log);
    EXPECT_EQ(port->Written(), "") << c.name;
    ExpectCleanEnd();
  }
  update::RunStateAccess::Record(*engine).DownloadList.clear();
  EXPECT_FALSE(Download("Absent.exe"));
  EXPECT_TRUE(view.LogHas("Die Datei Absent.exe lässt sich nicht öffnen."));
  EXPECT_EQ(port->Written(), "");
}

}  // namespace
}  // namespace loaders
