// A whole run through the secondary route and the Basic-Loader terminal on the virtual clock:
// the engine with the loader paths, the simulated instrument in-process.
#include <gtest/gtest.h>

#include "loaders/loader_paths.h"
#include "package/messages.h"
#include "tests/engine/engine_fixture.h"
#include "update/display.h"

namespace {

// The offered secondary version 2.10 as the data of the S1 record at 0x4000.
const std::string kMainFirmware = "S0030000FC\nS1094000322E31300000F5\nS9030000FC\n";
// Four bytes at 0xE0000 and the end record.
const std::string kTermFile = "S2080E0000112233443F\r\nS8040E0000ED\r\n";
const std::string kInstrument = "[identity]\nversion = 1.30,2.05\n";

class TerminalRun : public test::EngineFixture {
 protected:
  TerminalRun() {
    // An S-record main firmware: device kind 0.
    devices.DeviceKind = package::DeviceKindId::kHexLoad;
    devices.DeviceTable[0].ProgFile2 = "Sonde.mot";
    devices.DeviceTable[0].SWKenn2 = "S1094000";
    folder.Write("Sonde.mot", kMainFirmware);
  }
  void StartWith(const std::string& profile) {
    Start(kInstrument + profile);
    engine->FirmwareFiles = {"Sonde.mot"};
    engine->SetPaths(&loaderPaths);
    PressOk();
  }
  bool Ended() const { return view.finished > 0 || (view.okEnabled && !view.log.empty()); }
  std::string Text(messages::MessageId id) const {
    return update::ExpandMessage(messages::Text(id, 0), 0, engine->Record(),
                                 engine->State().ActiveComIndex);
  }

  loaders::LoaderPaths loaderPaths;
};

TEST_F(TerminalRun, OlderSecondaryFirmwareIsProgrammedAndTheRunSucceeds) {
  folder.Write("L3_TermL.A37", kTermFile);
  StartWith(
      "[protocol]\nafter_program = 31\nrestart_prompt_ms = 300\n"
      "[bootloader]\ntarget = basic\n");
  ASSERT_TRUE(RunUntil([this] { return Ended(); }));
  EXPECT_EQ(view.finished, 1) << ::testing::PrintToString(view.log)
                              << ::testing::PrintToString(Commands());
  EXPECT_TRUE(Sent("A.2005"));
  EXPECT_TRUE(view.LogHas("Download erfolgreich ausgeführt !"));
  EXPECT_EQ(view.beeps, 1);
  sim::Memory& flash = *instrument->Flash();
  EXPECT_EQ(flash.Read(0xE0000), 0x11);
  EXPECT_EQ(flash.Read(0xE0003), 0x44);
  EXPECT_EQ(flash.Read(0xE0004), 0xFF);
}

// After "programmed" the line is back at the instrument's normal settings: a new firmware that
// greets there is heard; one that keeps the loader's 19200 baud is not, and the run ends as a
// failure within the greeting's bound, never as a success.
struct GreetingCase {
  const char* name;
  const char* profile;
  bool succeeds;
};

void PrintTo(const GreetingCase& c, std::ostream* os) {
  *os << c.name;
}

class GreetingLine : public TerminalRun, public ::testing::WithParamInterface<GreetingCase> {};

TEST_P(GreetingLine, TheGreetingIsAwaitedAtTheLineTheRunHadBeforeTheTerminal) {
  const GreetingCase& c = GetParam();
  folder.Write("L3_TermL.A37", kTermFile);
  StartWith(std::string("[protocol]\nafter_program = 31\nrestart_prompt_ms = 300\n"
                        "[bootloader]\ntarget = basic\n") +
            c.profile);
  ASSERT_TRUE(RunUntil([this] { return view.LogHas(Text(messages::MSG_TERM_SUCCESS)); }));
  const uint32_t programmed = windows.TickCount();
  ASSERT_TRUE(
      RunUntil([this] { return Ended(); }, update::UpdateEngine::kGreetingTimeoutMs + 1000));
  EXPECT_EQ(view.finished, c.succeeds ? 1 : 0) << ::testing::PrintToString(view.log);
  EXPECT_EQ(view.LogHas("Download erfolgreich ausgeführt !"), c.succeeds);
  EXPECT_EQ(view.LogHas(Text(messages::MSG_NO_GREETING)), !c.succeeds);
  if (!c.succeeds) {
    EXPECT_GE(windows.TickCount() - programmed, update::UpdateEngine::kGreetingTimeoutMs);
  }
  EXPECT_EQ(instrument->Flash()->Read(0xE0000), 0x11);
}

INSTANTIATE_TEST_SUITE_P(
    Table, GreetingLine,
    ::testing::Values(GreetingCase{"AtTheNormalLine", "", true},
                      GreetingCase{"AtTheLoadersSpeed", "greet_at_loader_speed = true\n", false}),
    [](const ::testing::TestParamInfo<GreetingCase>& info) { return info.param.name; });

TEST_F(TerminalRun, InstrumentSilentAfterTheSwitchEndsTheRun) {
  StartWith("[replies]\nA.2005 = none\n");
  ASSERT_TRUE(RunUntil([this] { return Ended(); }, 2 * update::UpdateEngine::kGreetingTimeoutMs));
  EXPECT_TRUE(Sent("A.2005"));
  EXPECT_EQ(view.finished, 0);
  EXPECT_TRUE(view.okEnabled);
  EXPECT_TRUE(view.LogHas(Text(messages::MSG_NO_GREETING)));
}

TEST_F(TerminalRun, TerminalInstrumentReadsTheOfferedVersionFromTheTerminalFile) {
  // The main file offers no secondary version; the terminal file's S1 record at 0x4000 does.
  folder.Write("Sonde.mot", "S0030000FC\nS9030000FC\n");
  folder.Write("L3_TermL.A37", "S1094000322E31300000F5\r\n" + kTermFile);
  devices.DeviceTable[0].DeviceNrDef = devices.DeviceTable[0].DeviceNr = "21130.000";
  devices.DeviceTable[0].SWKenn3 = "S1094000";
  StartWith(
      "[identity]\ndevice = 21130.000\n[protocol]\nafter_program = 31\n"
      "restart_prompt_ms = 300\n[bootloader]\ntarget = basic\nflash_start = 0x4000\n");
  ASSERT_TRUE(RunUntil([this] { return Ended(); }));
  EXPECT_TRUE(view.boxes.empty()) << view.boxes[0].text;
  EXPECT_EQ(engine->Record().NewVer2, 210);
  EXPECT_EQ(view.finished, 1);
}

}  // namespace
