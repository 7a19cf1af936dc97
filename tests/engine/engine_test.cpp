#include "tests/engine/engine_fixture.h"

#include "package/messages.h"
#include "update/event_codes.h"
#include "update/programming_flows.h"

namespace test {
namespace {

using update::BoxIcon;

constexpr char kMeter[] = "[identity]\nversion = 1.20\n";

bool HasBox(const RecordingView& view, BoxIcon icon, const std::string& part) {
  for (const auto& box : view.boxes) {
    if (box.icon == icon && box.text.find(part) != std::string::npos) return true;
  }
  return false;
}

std::string German(messages::MessageId id) {
  return std::string(messages::Text(id, 0));
}

TEST_F(EngineFixture, FindsTheInstrumentOnTheThirdPortAt9600AndIdentifiesIt) {
  settings.BaudSearchList = {2, 3};  // 4800 first: nobody answers there
  settings.BaudCount = 2;
  Start(kMeter, 3, 3);
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));

  EXPECT_EQ(engine->State().ActivePort, 2);
  EXPECT_EQ(engine->State().ActiveComIndex, 2);
  EXPECT_EQ(view.panels[1], "Com3");
  EXPECT_EQ(view.panels[2], "9600");
  // Both baud rates were tried on every port, the instrument heard only 9600.
  EXPECT_NE(simPorts[0]->Written().find("A.1000\r\n"), std::string::npos);
  EXPECT_EQ(Commands(),
            (std::vector<std::string>{"A.1000", "A.2003", "A.2000", "A.2001", "A.4001"}));
  EXPECT_EQ(view.fields[0], "20363.000  [pH 3310]");
  EXPECT_EQ(view.fields[1], "12345678");
  EXPECT_EQ(view.fields[2], "41000.001");
  EXPECT_EQ(view.fields[3], "1.20");
  EXPECT_EQ(view.panels[3], "Version 1.30");
  // The other ports were closed once the serial number had arrived.
  EXPECT_FALSE(simPorts[0]->Opened());
  EXPECT_TRUE(simPorts[2]->Opened());
  // Newer file: the classic loader is started on the main file with the alternative entry.
  ASSERT_EQ(paths.msp430.size(), 1u);
  EXPECT_EQ(paths.msp430[0].job, update::Msp430Job::kMain);
  EXPECT_EQ(paths.msp430[0].file, "pH3310.txt");
  EXPECT_TRUE(paths.msp430[0].altEntry);
  EXPECT_TRUE(view.boxes.empty());
}

TEST_F(EngineFixture, StartModeZeroGreetsWithAnExtraOpenCommand) {
  devices.StartMode = devices.SavedStartMode = package::StartVariant::kOpenDialogue;
  Start(kMeter);
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));
  EXPECT_EQ(Commands(),
            (std::vector<std::string>{"A.1111", "A.1000", "A.2003", "A.2000", "A.2001", "A.4001"}));
}

TEST_F(EngineFixture, NoInstrumentWalksTheBaudListWakesTheBootLoaderAndGivesUpTwice) {
  settings.BaudSearchList = {2, 3};
  settings.BaudCount = 2;
  Start("", 2);
  PressOk();
  const std::string hint = "Gerät aus- und einschalten\r\n" + German(messages::MSG_CONFIRM_OK);
  ASSERT_TRUE(RunUntil([&] { return view.closed > 0; }, 200000));
  // Per run: 4800, 9600, the boot-loader attempt, the second wake-up, then not found.
  const std::string written = simPorts[1]->Written();
  EXPECT_NE(written.find("\x80"), std::string::npos);
  EXPECT_NE(written.find("\x85\x01\x00\x1A"), std::string::npos);
  EXPECT_EQ(simPorts[0]->Line().BaudRate, 9600u);  // the boot-loader attempt's speed
  int hints = 0;
  for (const auto& box : view.boxes) hints += box.text == hint ? 1 : 0;
  EXPECT_EQ(hints, 2);  // once per run: the not-found handling clears it
  EXPECT_TRUE(HasBox(view, BoxIcon::Error, German(messages::MSG_NO_DEVICE).substr(0, 20)));
  EXPECT_TRUE(HasBox(view, BoxIcon::Error, "Kein Gerät gefunden"));
  EXPECT_TRUE(HasBox(view, BoxIcon::Error, "Programm wird abgebrochen"));
  EXPECT_EQ(view.closed, 1);
  EXPECT_TRUE(view.programmingMenu);
  // Two runs of 2 x 5 s search, 5 s boot-loader wait and 5 s second wake-up, plus the delays.
  EXPECT_LT(windows.TickCount(), 60000u);
}

TEST_F(EngineFixture, InstrumentAnsweringLateIsFoundOnTheSecondWakeUpRound) {
  // The instrument listens at 19200, the second entry of the list.
  settings.BaudSearchList = {3, 4};
  settings.BaudCount = 2;
  Start("[identity]\nversion = 1.20\n[line]\nbaud = 19200\n");
  // A boot-loader attempt of an earlier run left its phase behind: a new run starts afresh.
  Run().WakePhase = 3;
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));
  EXPECT_EQ(view.panels[2], "19200");
  EXPECT_GE(windows.TickCount(), 5000u);  // the first attempt timed out
  EXPECT_EQ(simPorts[0]->Written().find("\x85\x01\x00\x1A"), std::string::npos);
}

struct VersionCase {
  const char* what;
  const char* profile;
  const char* fileVersion;
  std::deque<bool> answers;
  bool programs;
  const char* boxPart;      // a box whose text holds this, or ""
  const char* logPart;      // a log entry holding this, or ""
  const char* second = "";  // more firmware text: the second version
};

TEST_F(EngineFixture, VersionDecisions) {
  const VersionCase cases[] = {
      {"newer file", "version = 1.20", "1.30", {}, true, "", ""},
      {"same, Yes", "version = 1.30", "1.30", {true}, true, "ist schon im Gerät", ""},
      {"same, No",
       "version = 1.30",
       "1.30",
       {false},
       false,
       "Die aktuelle Software-Version 1.30 ist schon im Gerät",
       "Das Gerät wurde nicht verändert."},
      {"instrument newer",
       "version = 1.40",
       "1.30",
       {},
       false,
       "keine gültige Software-Version",
       "Die Software-Version 1.40 in Ihrem Gerät"},
      {"sensor question after 262",
       "version = 1.20,2.05\nsend_262_after = A.2000",
       "1.30",
       {false},
       false,
       "Sensoridentifizierung",
       "",
       "@E000\r\n32 2E 31 30 00\r\n"},
  };
  for (const VersionCase& c : cases) {
    SCOPED_TRACE(c.what);
    view = RecordingView{};
    view.answers = c.answers;
    paths.msp430.clear();
    simPorts.clear();
    engine.reset();
    folder.Write("pH3310.txt", FirmwareText(c.fileVersion) + c.second);
    // The second version is read with the first pattern from the third file.
    devices.DeviceTable[0].ProgFile1 = "pH3310.txt";
    devices.DeviceTable[0].SWKenn1 = "@E000\r\n";
    Start(std::string("[identity]\n") + c.profile + "\n");
    PressOk();
    ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty() || view.okEnabled; }));
    EXPECT_EQ(!paths.msp430.empty(), c.programs);
    if (*c.boxPart) {
      EXPECT_TRUE(HasBox(view, BoxIcon::Question, c.boxPart) ||
                  HasBox(view, BoxIcon::Error, c.boxPart));
    }
    if (*c.logPart) {
      EXPECT_TRUE(view.LogHas(c.logPart));
    }
    if (!c.programs) {
      EXPECT_TRUE(view.okEnabled);
      EXPECT_EQ(Commands().back(), "A.1121");  // the exit command of the classic kind
    }
    EXPECT_TRUE(view.answers.empty());
  }
}

TEST_F(EngineFixture, VersionBelowOneSkipsTheSerialNumberCommand) {
  Start("[identity]\nversion = 0.95\n");
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));
  EXPECT_EQ(engine->Record().CurVer, 95);
  EXPECT_FALSE(Sent("A.4001"));
  EXPECT_EQ(view.fields[1], " ");
}

TEST_F(EngineFixture, SensorInstrumentTakesTheSensorsNumbers) {
  devices.StartMode = devices.SavedStartMode = package::StartVariant::kSensor;
  devices.DeviceTable[0].DeviceNr = "30111.005";
  devices.DeviceTable[0].DeviceName = "Sensor";
  Start(
      "[identity]\ndevice = 20363.000,30111.007\npcb = 41000.001,42000.005\n"
      "version = 1.23,1.20\nserial = 111,222\n");
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));
  EXPECT_EQ(engine->Record().DeviceNumber, "30111.005");
  EXPECT_EQ(engine->Record().PcbNumber, "42000.005");
  EXPECT_EQ(engine->Record().SwVersion, "1.20");
  EXPECT_EQ(engine->Record().CurVer, 120);  // the sensor's version counts
  EXPECT_EQ(engine->Record().CurVer2, 0);
  EXPECT_EQ(engine->Record().SerialNumber, "222");
}

TEST_F(EngineFixture, EqualMainVersionsAndNewerSecondFinishWithoutProgramming) {
  devices.DeviceTable[0].ProgFile1 = "pH3310.txt";
  devices.DeviceTable[0].SWKenn1 = "@E000\r\n";
  Start("[identity]\nversion = 1.30,2.10\n");
  // The second version offered (2.05) is below the instrument's 2.10.
  folder.Write("pH3310.txt", FirmwareText("1.30") + "@E000\r\n32 2E 30 35 00\r\n");
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return view.finished > 0; }));
  EXPECT_TRUE(paths.msp430.empty());
  EXPECT_TRUE(view.LogHas("Download erfolgreich ausgeführt"));
  EXPECT_TRUE(view.LogHas("COM 1"));
  EXPECT_EQ(view.title, "Update [beendet]");
  EXPECT_EQ(Commands().back(), "A.1121");
  EXPECT_FALSE(simPorts[0]->Opened());
}

TEST_F(EngineFixture, FailedProgrammingEndsAsAFailureWithTheAbortText) {
  paths.result = 0;
  Start(kMeter);
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return view.okEnabled; }));
  EXPECT_EQ(paths.msp430.size(), 1u);
  EXPECT_TRUE(view.LogHas("Abbruch"));
  EXPECT_EQ(view.finished, 0);
  EXPECT_EQ(engine->State().ResponseTimer, 0);
}

TEST_F(EngineFixture, ForeignEventsAndDataThatIsNoText) {
  Start(kMeter);
  const core::EventRecord foreign{core::EVK_TIMER, 0, 4, {}};
  EXPECT_EQ(engine->HandleUpdateEvent(events.queue, foreign), foreign);
  const core::EventRecord escape{core::EVK_KEY, 0, core::KEY_ESCAPE, {}};
  EXPECT_EQ(engine->HandleUpdateEvent(events.queue, escape), escape);
  // A bench instrument's boot-loader byte carries the byte, not a text; it leads to the bench
  // programming with the bench image.
  events.queue.PostEvent(update::ev::kBootByte, uint8_t{0x90});
  events.pump.PumpEvents();
  EXPECT_EQ(engine->State().BenchAnswerChar, 0x90);
  ASSERT_EQ(paths.msp430.size(), 1u);
  EXPECT_EQ(paths.msp430[0].file, "BenchXXX.txt");
  engine->Flows().EndAll();
  // Data announced for a port that is not in the table is left alone.
  engine->ParseReplies(99);
  EXPECT_EQ(events.queue.Fetch().kind, core::EVK_NONE);
}

}  // namespace
}  // namespace test

namespace test {
namespace {

package::DeviceEntry Entry(const char* nrDef, const char* nr, const char* name) {
  package::DeviceEntry entry;
  entry.DeviceNrDef = nrDef;
  entry.DeviceNr = nr;
  entry.DeviceName = name;
  entry.ProgFile2 = "pH3310.txt";
  entry.SWKenn2 = "@F000\r\n";
  return entry;
}

TEST_F(EngineFixture, DeviceSelectionRules) {
  struct Case {
    const char* what;
    std::vector<package::DeviceEntry> table;
    const char* device;
    const char* pcb;
    const char* selected;  // DeviceNameText after the choice, or "" for none
  };
  const Case cases[] = {
      {"DeviceNr found in the device number wins over an earlier DeviceNrDef",
       {Entry("20363.000", "11111.000", "A"), Entry("x", "22222.000", "B"),
        Entry("y", "20363.000", "C")},
       "20363.000",
       "20363.000",
       "C"},
      {"device number inside the PCB number: DeviceNrDef in the PCB number",
       {Entry("", "", "A"), Entry("41000", "99999.000", "B")},
       "41000",
       "41000.001",
       "B"},
      {"wildcard entry 0 for a short device number",
       {Entry("XXXXX", "99999.000", "Any"), Entry("x", "88888.000", "B")},
       "12345.000",
       "777",
       "Any"},
      {"no entry fits",
       {Entry("1", "99999.000", "A"), Entry("2", "88888.000", "B")},
       "12345.000",
       "777",
       ""},
      {"empty numbers never match", {Entry("", "", "A")}, "12345.000", "12345.000", ""},
  };
  Start("");
  view.answers = {true, true, true, true, true};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    devices.DeviceTable = c.table;
    update::RunStateAccess::Record(*engine) = update::DownloadContext{};
    update::RunStateAccess::Record(*engine).DeviceNumber = c.device;
    update::RunStateAccess::Record(*engine).PcbNumber = c.pcb;
    const bool selected = engine->IdentifyDevice();
    EXPECT_EQ(selected, *c.selected != 0);
    if (*c.selected) {
      EXPECT_EQ(engine->Record().DeviceNameText, c.selected);
    } else {
      EXPECT_TRUE(view.LogHas("Der Download ist für ein"));
    }
  }
}

TEST_F(EngineFixture, DownloadListItemsAndWildcards) {
  folder.Write("sub/a.bin", "x");
  folder.Write("sub/b.bin", "x");
  devices.DeviceTable[0].ProgFile2 = "pH3310.txt,add.bin,,sub\\*.*";
  devices.DeviceTable[0].ProgFile3 = "second.txt@,more.bin";
  Start("");
  update::RunStateAccess::Record(*engine).DeviceNumber = "20363.000";
  engine->IdentifyDevice();
  EXPECT_EQ(engine->Record().MainFile, "pH3310.txt");
  EXPECT_EQ(engine->Record().SecondFile, "second.txt");
  EXPECT_TRUE(engine->Record().SecondFileMarked);
  EXPECT_EQ(engine->Record().DownloadList,
            (std::vector<std::string>{"add.bin", "", "sub\\a.bin", "sub\\b.bin", "more.bin"}));
}

// Every file a package names stays inside its folder and never reads as a loader program's
// option; such a package is refused with the name before anything is sent or started.
TEST_F(EngineFixture, FileNamesThatLeaveThePackageOrReadAsOptionsAreRefused) {
  folder.Write("-x.bin", "x");
  const struct {
    const char* what;
    const char* progFile1;
    const char* progFile2;
    const char* progDefFile;
    const char* refused;  // the name in the message, "" when the package is fine
    const char* reason;
  } cases[] = {
      {"plain names and a dotted name", "", "pH3310.txt,sub\\a..b.bin", "Loader.txt", "", ""},
      {"main file above the folder", "", "../pH3310.txt", "", "../pH3310.txt", "Paket"},
      {"absolute main file", "", "/tmp/pH3310.txt", "", "/tmp/pH3310.txt", "Paket"},
      {"list item with a Windows step up", "", "pH3310.txt,sub\\..\\..\\k.bin", "",
       "sub\\..\\..\\k.bin", "Paket"},
      {"third file on a drive", "C:\\x.txt", "pH3310.txt", "", "C:\\x.txt", "Paket"},
      {"wildcard above the folder", "", "pH3310.txt,..\\*.*", "", "..\\*.*", "Paket"},
      {"loader file read as an option", "", "pH3310.txt", "-rf.txt", "-rf.txt", "Option"},
      {"main file read as an option", "", "-pH3310.txt", "", "-pH3310.txt", "Option"},
      {"wildcard meets a file named like an option", "", "pH3310.txt,*.*", "", "-x.bin", "Option"},
  };
  // The loader file of a run comes from the second row.
  devices.DeviceTable.push_back(devices.DeviceTable[0]);
  devices.DeviceTable[1].DeviceNrDef = devices.DeviceTable[1].DeviceNr = "99999.000";
  Start("");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    devices.DeviceTable[0].ProgFile1 = c.progFile1;
    devices.DeviceTable[0].ProgFile2 = c.progFile2;
    devices.DeviceTable[1].ProgDefFile = c.progDefFile;
    update::RunStateAccess::Record(*engine) = update::DownloadContext{};
    update::RunStateAccess::Record(*engine).DeviceNumber = "20363.000";
    view.boxes.clear();
    view.log.clear();
    const bool accepted = engine->IdentifyDevice();
    EXPECT_EQ(accepted, *c.refused == 0);
    if (*c.refused) {
      const std::string quoted = std::string("\"") + c.refused + "\"";
      EXPECT_TRUE(HasBox(view, BoxIcon::Error, quoted));
      EXPECT_TRUE(view.LogHas(quoted));
      EXPECT_TRUE(view.LogHas(c.reason));
    }
  }
}

// A sensor instrument without its sensor takes the package's device number, clipped to the
// protocol's field.
TEST_F(EngineFixture, TheDeviceNumberOfAnInstrumentWithoutSensorFitsItsField) {
  devices.StartMode = devices.SavedStartMode = package::StartVariant::kSensor;
  devices.DeviceTable[0].DeviceNrDef = "XXXXX";
  devices.DeviceTable[0].DeviceNr = std::string(40, '7');
  Start("");
  view.answers = {true, true, true};
  update::RunStateAccess::Record(*engine).DeviceNumber = "20363.000";
  update::RunStateAccess::Record(*engine).SwVersion = "1.20";
  engine->IdentifyDevice();
  EXPECT_EQ(engine->Record().DeviceNumber,
            std::string(update::DownloadContext::kDeviceNumberWidth - 1, '7'));
}

TEST_F(EngineFixture, MissingFirmwareFileIsAWrongDevice) {
  Start("");
  engine->FirmwareFiles = {"other.txt"};
  update::RunStateAccess::Record(*engine).DeviceNumber = "20363.000";
  EXPECT_FALSE(engine->IdentifyDevice());
  EXPECT_TRUE(HasBox(view, BoxIcon::Error, "Falsches Gerät angeschlossen"));
  EXPECT_TRUE(view.LogHas("Der Download ist für ein pH 3310,  !"));
}

}  // namespace
}  // namespace test

namespace test {
namespace {

TEST_F(EngineFixture, EndOfProgrammingAnswerSetsTheClockInSeconds) {
  Start(kMeter);
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));
  events.queue.PostEvent(update::ev::kAnswerProgrammedClock, std::string());
  events.pump.PumpEvents();
  ASSERT_TRUE(RunUntil([&] { return Commands().back().rfind("A.1600#", 0) == 0; }));
  EXPECT_TRUE(view.LogHas("Neue Daten werden gespeichert"));
  // Seconds since 2002-12-31 00:00 local time: within a day of the UTC count.
  const double seconds = std::stod(Commands().back().substr(7));
  const double utc = static_cast<double>(std::time(nullptr)) - 1041292800.0;
  EXPECT_NEAR(seconds, utc, 86400.0);
}

}  // namespace
}  // namespace test
