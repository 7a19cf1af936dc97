// The handlers beside the state machine: the further files after the main firmware, the
// air-pressure upload at the end of a run, the failure report with its retry, and programming
// from the boot loader (menus, and instruments the search finds waiting in their boot loader).
#include <string>
#include <vector>

#include "core/event_codes.h"
#include "package/messages.h"
#include "tests/engine/engine_fixture.h"
#include "update/display.h"
#include "update/event_codes.h"
#include "update/programming_flows.h"

namespace test {
namespace {

namespace ev = update::ev;

constexpr char kMeter[] = "[identity]\nversion = 1.20\n";

bool NoTimerClaimed(const core::EventCore& events) {
  for (int id = 1; id <= events.timers.Count(); ++id) {
    if (events.timers.InUse(id)) return false;
  }
  return true;
}

std::string Bytes(size_t count, char seed) {
  std::string data;
  for (size_t i = 0; i < count; ++i) data += static_cast<char>(seed + i * 7);
  return data;
}

std::string Expanded(messages::MessageId id, const update::UpdateEngine& engine) {
  return update::ExpandMessage(messages::Text(id, 0), 0, engine.Record(), 0);
}

// Paths that also record the external loader's runs.
struct MenuPaths : RecordingPaths {
  std::vector<std::string> external;
  // The instrument the loader was run for.
  std::string deviceNumber, deviceName, loaderId;
  int32_t externalResult = 0;
  // The program's exit code: 0 programmed.
  update::LoaderResult RunExternalLoader(update::RunHost& run, const std::string& file) override {
    external.push_back(file);
    deviceNumber = run.Record().DeviceNumber;
    deviceName = run.Record().DeviceNameText;
    loaderId = run.Record().LoaderIdText;
    return externalResult == 0 ? update::LoaderResult::Programmed()
                               : update::LoaderResult::Failed(externalResult);
  }
};

class FlowFixture : public EngineFixture {
 protected:
  // Runs the update until the main firmware is programmed and the new firmware greets.
  void ProgramAndGreet(const std::string& profileText) {
    menuPaths = MenuPaths{};
    Start(profileText);
    engine->SetPaths(&menuPaths);
    PressOk();
    ASSERT_TRUE(RunUntil([&] { return !menuPaths.msp430.empty(); }));
    events.queue.PostEvent(ev::kPrompt);
    events.pump.PumpEvents();
  }
  bool Ended() const { return view.finished > 0 || view.okEnabled; }
  size_t CountOf(const std::string& command) const {
    size_t n = 0;
    for (const std::string& seen : Commands()) n += seen == command ? 1 : 0;
    return n;
  }

  MenuPaths menuPaths;
};

TEST_F(FlowFixture, FurtherFilesTravelInPacketsOfAtMost255Bytes) {
  const std::string first = Bytes(600, 'a');
  const std::string second = Bytes(255, 'A');
  folder.Write("Sub/First.BIN", first);
  folder.Write("second.bin", second);
  devices.DeviceTable[0].ProgFile2 = "pH3310.txt,Sub\\First.BIN,second.bin";
  ProgramAndGreet(kMeter);
  // OK during the transfer changes nothing.
  ASSERT_TRUE(RunUntil([&] { return CountOf("A.12010#<255 bytes>") == 1; }));
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return Ended(); }));

  EXPECT_EQ(view.finished, 1);
  EXPECT_TRUE(view.LogHas("erfolgreich"));
  const std::vector<std::string> expected = {"A.12000#sub\\first.bin",
                                             "A.12010#<255 bytes>",
                                             "A.12010#<255 bytes>",
                                             "A.12010#<90 bytes>",
                                             "A.12030",
                                             "A.12000#second.bin",
                                             "A.12010#<255 bytes>",
                                             "A.12030",
                                             "A.1121"};
  const std::vector<std::string> seen = Commands();
  const auto start = std::find(seen.begin(), seen.end(), expected.front());
  ASSERT_NE(start, seen.end());
  EXPECT_EQ(std::vector<std::string>(start, start + std::min<ptrdiff_t>(seen.end() - start, 9)),
            expected);
  const auto& files = instrument->Seen().files;
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(std::string(files[0].data.begin(), files[0].data.end()), first);
  EXPECT_EQ(std::string(files[1].data.begin(), files[1].data.end()), second);
  EXPECT_TRUE(files[0].complete && files[1].complete);
  EXPECT_EQ(menuPaths.msp430.size(), 1u);
  EXPECT_FALSE(engine->Flows().multiFile.Active());
  EXPECT_TRUE(NoTimerClaimed(events));
}

// A package whose further file is missing, and an instrument that falls silent during the
// transfer: the run ends as a failure the user can read, the instrument hears its end command,
// and nothing is left waiting.
TEST_F(FlowFixture, TransferThatCannotGoOnEndsAsAFailure) {
  const struct {
    const char* name;
    const char* profile;
    bool missing;
    messages::MessageId why;
  } cases[] = {
      {"missing file", kMeter, true, messages::MSG_FILE_NOT_OPENED},
      {"silent instrument", "[identity]\nversion = 1.20\n[replies]\nA.12000 = none\n", false,
       messages::MSG_TRANSFER_NO_ANSWER},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    folder.Write("present.bin", Bytes(300, 'x'));
    devices.DeviceTable[0].ProgFile2 =
        std::string("pH3310.txt,") + (c.missing ? "missing.bin" : "present.bin");
    view = RecordingView{};
    ProgramAndGreet(c.profile);
    ASSERT_TRUE(RunUntil([&] { return Ended(); }));

    std::string why = Expanded(c.why, *engine);
    if (c.missing) why = update::ReplaceFirstX(why, "missing.bin");
    EXPECT_TRUE(view.LogHas(why));
    // (The identification has already warned about a missing file in a box of its own.)
    ASSERT_FALSE(view.boxes.empty());
    EXPECT_EQ(view.boxes.back().text, why);
    EXPECT_EQ(view.finished, 0);
    EXPECT_EQ(Commands().back(), "A.1121");
    EXPECT_FALSE(engine->Flows().multiFile.Active());
    EXPECT_TRUE(NoTimerClaimed(events));
    // A late prompt does not take the transfer up again.
    events.queue.PostEvent(ev::kPrompt);
    events.pump.PumpEvents();
    RunUntil([] { return false; }, 5000);
    EXPECT_EQ(view.finished, 0);
    engine.reset();
    simPorts.clear();
  }
}

TEST_F(FlowFixture, AirPressureValueGoesToQualifyingInstruments) {
  const struct {
    const char* device;
    const char* version;
    const char* serial;
    const char* value;  // empty: not sent
  } cases[] = {
      {"28160.000", "1.01", "14120333", "948.5"},
      {"28160.000", "1.01", "14999999", "947.0"},
      {"28101.000", "1.01", "14120333", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.device) + " " + c.serial);
    devices.DeviceTable[0].DeviceNr = c.device;
    view = RecordingView{};
    ProgramAndGreet(std::string("[identity]\ndevice = ") + c.device + "\nversion = " + c.version +
                    "\nserial = " + c.serial + "\n");
    ASSERT_TRUE(RunUntil([&] { return Ended(); }));

    EXPECT_EQ(view.finished, 1);
    EXPECT_TRUE(view.LogHas("erfolgreich"));
    EXPECT_EQ(instrument->Seen().airPressure, c.value);
    if (*c.value) {
      const std::vector<std::string> seen = Commands();
      ASSERT_GE(seen.size(), 4u);
      const std::vector<std::string> tail(seen.end() - 4, seen.end());
      EXPECT_EQ(tail, (std::vector<std::string>{"A.6162#" + std::string(c.value), "A.1121",
                                                "A.1121", "A.1121"}));
    }
    EXPECT_FALSE(engine->Flows().airPressure.Active());
    EXPECT_TRUE(NoTimerClaimed(events));
    engine.reset();
    simPorts.clear();
  }
}

TEST_F(FlowFixture, SilentInstrumentDuringTheAirPressureUploadEndsTheRun) {
  devices.DeviceTable[0].DeviceNr = "28160.000";
  ProgramAndGreet(
      "[identity]\ndevice = 28160.000\nversion = 1.01\nserial = 14120333\n[replies]\nA.6162 = "
      "none\n");
  ASSERT_TRUE(RunUntil([&] { return Ended(); }));
  EXPECT_EQ(view.finished, 0);
  EXPECT_TRUE(view.LogHas(Expanded(messages::MSG_TRANSFER_NO_ANSWER, *engine)));
  EXPECT_FALSE(engine->Flows().airPressure.Active());
  EXPECT_TRUE(NoTimerClaimed(events));
}

// OK after a failed programming takes the programming path of the device kind up again; a
// failure of the secondary processor offers no retry.
TEST_F(FlowFixture, RetryFollowsTheDeviceKind) {
  const struct {
    int32_t kind;
    int32_t code;
    bool externalPending;
    size_t msp430Runs;    // after OK
    size_t externalRuns;  // after OK
    bool newRun;          // OK started a new search instead
  } cases[] = {
      {1, ev::kProgrammingFailed, false, 2, 0, false},
      {0, ev::kProgrammingFailed, false, 1, 1, false},
      {1, ev::kProgrammingFailed, true, 1, 1, false},
      {1, ev::kSecondaryFailed, false, 1, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " code " << c.code);
    menuPaths = MenuPaths{};
    view = RecordingView{};
    Start(kMeter);
    engine->SetPaths(&menuPaths);
    PressOk();
    ASSERT_TRUE(RunUntil([&] { return !menuPaths.msp430.empty(); }));
    devices.DeviceKind = static_cast<package::DeviceKindId>(c.kind);
    Run().ExternalPending = c.externalPending;
    engine->ProgrammingFailed(c.code);
    events.pump.PumpEvents();
    EXPECT_TRUE(view.okEnabled);
    EXPECT_TRUE(view.LogHas("Abbruch"));
    EXPECT_EQ(engine->Flows().failure.Active(), c.code == ev::kProgrammingFailed);

    view.waitPanel = false;
    PressOk();
    EXPECT_EQ(menuPaths.msp430.size(), c.msp430Runs);
    EXPECT_EQ(menuPaths.external.size(), c.externalRuns);
    EXPECT_EQ(view.waitPanel, c.newRun);
    EXPECT_FALSE(engine->Flows().failure.Active());
    devices.DeviceKind = package::DeviceKindId::kMsp430;
    engine.reset();
    simPorts.clear();
  }
}

// A failed programming followed by the instrument's prompt: still no success, and the retry
// remains the way on.
TEST_F(FlowFixture, PromptAfterAFailureLeavesTheRetryWaiting) {
  menuPaths.result = 0;
  Start(kMeter);
  engine->SetPaths(&menuPaths);
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return view.okEnabled; }));
  events.queue.PostEvent(ev::kPrompt);
  events.pump.PumpEvents();
  RunUntil([] { return false; }, 5000);
  EXPECT_EQ(view.finished, 0);
  EXPECT_TRUE(engine->Flows().failure.Active());
  menuPaths.result = 1;
  PressOk();
  ASSERT_EQ(menuPaths.msp430.size(), 2u);
  EXPECT_EQ(menuPaths.msp430[1].job, update::Msp430Job::kRepeat);
}

class MenuFixture : public FlowFixture {
 protected:
  // Three device rows; the menu entries' tags select them.
  void ThreeRows() {
    devices.DeviceTable.clear();
    const char* numbers[] = {"18101.000", "18102.000", "18103.000"};
    const char* names[] = {"Multi 480e", "pH 480e", "Oxi 480e"};
    for (int row = 0; row < 3; ++row) {
      package::DeviceEntry entry;
      entry.DeviceNrDef = numbers[row];
      entry.DeviceNr = numbers[row];
      entry.DeviceName = names[row];
      entry.ProgFile2 = firmware;
      entry.SWKenn2 = "@F000\r\n";
      entry.ProgDefFile = std::string("row") + std::to_string(row) + ".hex";
      entry.BootLoadKenn = "TG480E";
      devices.DeviceTable.push_back(entry);
    }
  }
  // The menu family's firmware is a hex file (DeviceKind 3), the bench family's a TI-TXT file.
  void StartMenuFamily() {
    firmware = "menu.hex";
    folder.Write(firmware, FirmwareText("1.30"));
    ThreeRows();
    Start("");
    engine->FirmwareFiles = {firmware};
    engine->SetPaths(&menuPaths);
  }

  std::string firmware = "pH3310.txt";
};

TEST_F(MenuFixture, MenuEntryProgramsItsRowThroughTheExternalLoader) {
  StartMenuFamily();
  engine->Flows().menu.TG480eProgrammingClick(2);

  EXPECT_EQ(menuPaths.deviceNumber, "18103.000");
  EXPECT_EQ(devices.DeviceKind, package::DeviceKindId::kPic32);
  ASSERT_EQ(menuPaths.external.size(), 1u);
  EXPECT_EQ(menuPaths.external[0], "row1.hex");  // the identification's choice of loader file
  EXPECT_EQ(menuPaths.deviceName, "Device");
  EXPECT_EQ(view.fields[static_cast<size_t>(update::DeviceField::Name)], "Device");
  EXPECT_EQ(view.fields[static_cast<size_t>(update::DeviceField::Pcb)], "");
  // After the instrument has stored its firmware a normal run begins.
  ASSERT_TRUE(RunUntil([&] { return view.waitPanel; }, 20000));
  EXPECT_TRUE(engine->State().ExternalPending);
  EXPECT_FALSE(engine->Flows().menu.Active());
}

// An instrument of the menu family that waits in its boot loader answers the search's request
// frame; its identification text must carry the row's boot-loader mark.
TEST_F(MenuFixture, SearchFindsTheMenuFamilyInItsBootLoader) {
  const struct {
    const char* mark;
    size_t launches;
  } cases[] = {{"TG480E", 1}, {"OTHER", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mark);
    firmware = "menu.mot";
    folder.Write(firmware, FirmwareText("1.30"));
    ThreeRows();
    for (auto& entry : devices.DeviceTable) entry.BootLoadKenn = c.mark;
    devices.DeviceKind = package::DeviceKindId::kHexLoad;
    menuPaths = MenuPaths{};
    view = RecordingView{};
    Start("[bootloader]\ntarget = frame\nstart_in_bootloader = 1\n");
    engine->FirmwareFiles = {firmware};
    engine->SetPaths(&menuPaths);
    PressOk();
    ASSERT_TRUE(RunUntil([&] { return !menuPaths.external.empty() || view.okEnabled; }, 30000));
    RunUntil([] { return false; }, 1000);
    if (c.launches > 0) {
      EXPECT_EQ(menuPaths.loaderId, "TG480E-BL 1.00");
    }
    EXPECT_EQ(menuPaths.external.size(), c.launches);
    // Refused: OK is free again and nothing is left on the chain.
    if (c.launches == 0) {
      EXPECT_TRUE(view.okEnabled);
    }
    EXPECT_EQ(engine->Flows().menu.Active(), false);
    engine.reset();
    simPorts.clear();
  }
}

TEST_F(MenuFixture, BootLoaderAnsweringTwiceIsProgrammedOnce) {
  StartMenuFamily();
  events.queue.PostEvent(ev::kBootFrame, std::string("TG480E-BL"));
  events.queue.PostEvent(ev::kBootFrame, std::string("TG480E-BL"));
  events.pump.PumpEvents();
  EXPECT_EQ(menuPaths.external.size(), 1u);
}

TEST_F(MenuFixture, FailedLauncherShowsTheAbortTextAndOkRunsItAgain) {
  StartMenuFamily();
  menuPaths.externalResult = 1;
  engine->Flows().menu.TG480eProgrammingClick(1);
  ASSERT_TRUE(view.okEnabled);
  EXPECT_TRUE(view.LogHas("Abbruch"));
  // The instrument's prompt does not start anything while the failure stands.
  events.queue.PostEvent(ev::kPrompt);
  events.pump.PumpEvents();
  EXPECT_FALSE(view.waitPanel);

  menuPaths.externalResult = 0;
  PressOk();
  ASSERT_EQ(menuPaths.external.size(), 2u);
  EXPECT_EQ(menuPaths.external[1], menuPaths.external[0]);
  EXPECT_FALSE(view.LogHas("Abbruch"));
}

// A bench instrument found waiting in its boot loader: the classic loader's 0x90, or the F5xx
// loader's "Q", which selects the second device row and the F5xx loader.
TEST_F(MenuFixture, BenchInstrumentInItsBootLoaderIsProgrammedAndGreets) {
  const struct {
    uint8_t answer;
    const char* device;
    int32_t prozTyp;
  } cases[] = {{0x90, "18101.000", 0x149}, {'Q', "18102.000", 0x5438}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    ThreeRows();
    devices.DeviceKind = package::DeviceKindId::kMsp430;
    for (auto& entry : devices.DeviceTable) entry.ProzTyp = 0x149;
    // The identification takes the loader's file from the first row after a 0x90 only.
    devices.DeviceTable[1].ProgDefFile = "";
    menuPaths = MenuPaths{};
    view = RecordingView{};
    Start("");
    engine->SetPaths(&menuPaths);
    PressOk();
    Run().BootLoaderSeen = true;
    events.queue.PostEvent(ev::kBootByte, c.answer);
    events.pump.PumpEvents();

    ASSERT_EQ(menuPaths.msp430.size(), 1u);
    EXPECT_EQ(engine->Record().DeviceNumber, c.device);
    EXPECT_EQ(engine->Record().ProzTyp, c.prozTyp);
    EXPECT_EQ(menuPaths.msp430[0].file, c.answer == 'Q' ? "BenchXXX.txt" : "row0.hex");
    EXPECT_TRUE(engine->Record().BenchMode);
    events.queue.PostEvent(ev::kPrompt);
    events.pump.PumpEvents();
    ASSERT_TRUE(RunUntil([&] { return view.finished > 0; }));
    EXPECT_TRUE(view.LogHas("erfolgreich"));
    EXPECT_FALSE(engine->Flows().menu.Active());
    EXPECT_TRUE(NoTimerClaimed(events));
    engine.reset();
    simPorts.clear();
  }
}

TEST_F(MenuFixture, BenchInstrumentThatNeverGreetsEndsTheRun) {
  ThreeRows();
  devices.DeviceKind = package::DeviceKindId::kMsp430;
  Start("");
  engine->SetPaths(&menuPaths);
  engine->Flows().menu.BenchXXXClick();
  ASSERT_EQ(menuPaths.msp430.size(), 1u);
  ASSERT_TRUE(RunUntil([&] { return view.okEnabled; }, 60000));
  EXPECT_TRUE(view.LogHas(Expanded(messages::MSG_NO_GREETING, *engine)));
  EXPECT_EQ(view.finished, 0);
  EXPECT_FALSE(engine->Flows().menu.Active());
  EXPECT_TRUE(NoTimerClaimed(events));
}

TEST_F(MenuFixture, FailedBenchProgrammingIsRepeatedTheSameWayOnOk) {
  ThreeRows();
  devices.DeviceKind = package::DeviceKindId::kMsp430;
  Start("");
  engine->SetPaths(&menuPaths);
  menuPaths.result = 0;
  engine->Flows().menu.BenchXXXClick();
  ASSERT_TRUE(view.okEnabled);
  menuPaths.result = 1;
  PressOk();
  ASSERT_EQ(menuPaths.msp430.size(), 2u);
  EXPECT_EQ(menuPaths.msp430[1].job, update::Msp430Job::kMain);
  EXPECT_EQ(menuPaths.msp430[1].file, menuPaths.msp430[0].file);
  events.queue.PostEvent(ev::kPrompt);
  events.pump.PumpEvents();
  ASSERT_TRUE(RunUntil([&] { return view.finished > 0; }));
}

}  // namespace
}  // namespace test
