// The engine against what the line and the package bring it: ports that go away or refuse their
// settings during the search, "$" answers, numbers under a German locale, the third file's
// version, and file names written on Windows.
#include <regex>

#include "core/event_codes.h"
#include "package/messages.h"
#include "serial/window_messages.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/german_locale.h"
#include "update/event_codes.h"

namespace test {
namespace {

constexpr char kMeter[] = "[identity]\nversion = 1.20\n";

// A port double that can lose its device (as the reader thread reports a hang-up: one
// WM_V24_ERROR, and DeviceLost from then on) or refuse every line setting.
class FailingPort : public SimPort {
 public:
  FailingPort(core::VirtualWindowSystem& windows, sim::Instrument* instrument, int n)
      : SimPort(windows, instrument, n), windows_(windows), n_(n) {}

  void Lose() {
    lost_ = true;
    windows_.PostMessage(serial::WM_V24_ERROR, static_cast<uintptr_t>(n_));
  }
  bool refuseLine = false;

  bool DeviceLost() const override { return lost_; }
  bool ChangeBaudrate(serial::BaudTag baud) override {
    if (!Opened()) return false;
    if (lost_ || refuseLine) {
      ShowError("COM" + std::to_string(n_) + ": line settings refused");
      return false;
    }
    return SimPort::ChangeBaudrate(baud);
  }

 private:
  core::VirtualWindowSystem& windows_;
  int n_;
  bool lost_ = false;
};

class WireTest : public EngineFixture {
 protected:
  std::unique_ptr<SimPort> MakePort(sim::Instrument* instrument, int n) override {
    auto port = std::make_unique<FailingPort>(windows, instrument, n);
    failing.push_back(port.get());
    return port;
  }
  // Start with the ports' error boxes shown in the view, as the window and the console do.
  void StartShowingBoxes(const std::string& profileText, int ports, int instrumentPort) {
    Start(profileText, ports, instrumentPort);
    portTable.SetErrorBox([this](const std::string& caption, const std::string& text) {
      view.ShowError(caption, text);
    });
  }
  int Boxes(const std::string& part) const {
    int count = 0;
    for (const auto& box : view.boxes) count += box.text.find(part) != std::string::npos;
    return count;
  }
  int LogLines(const std::string& part) const {
    int count = 0;
    for (const std::string& line : view.log) count += line.find(part) != std::string::npos;
    return count;
  }

  std::vector<FailingPort*> failing;
};

struct LostCase {
  const char* name;
  int ports;
  int instrumentPort;  // 0: no instrument
  bool found;
};

void PrintTo(const LostCase& c, std::ostream* os) {
  *os << c.name;
}

class LostPortSearch : public WireTest, public ::testing::WithParamInterface<LostCase> {};

TEST_P(LostPortSearch, ReportsItOnceAndLeavesItOut) {
  const LostCase& c = GetParam();
  settings.BaudSearchList = {1, 2, 3};  // the instrument listens at 9600, the third rate
  settings.BaudCount = 3;
  StartShowingBoxes(c.instrumentPort ? kMeter : "", c.ports, c.instrumentPort);
  PressOk();
  failing[0]->Lose();
  const std::string lost = "Die Schnittstelle COM1 ist nicht mehr vorhanden";
  ASSERT_TRUE(RunUntil([&] { return LogLines(lost) == 1; }, 1000));
  if (c.found) {
    ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));
    EXPECT_EQ(engine->State().ActivePort, 1);
    EXPECT_EQ(view.panels[0], "[2]");
  } else {
    ASSERT_TRUE(RunUntil([&] { return view.closed > 0; }, 200000));
    // Both rounds of the not-found handling ran; the loss was reported in the first only.
    EXPECT_EQ(Boxes("Programm wird abgebrochen"), 1);
    EXPECT_EQ(view.panels[0], "");
    EXPECT_EQ(LogLines(lost), 1);
  }
  EXPECT_EQ(Boxes("refused"), 0);
  EXPECT_FALSE(failing[0]->Opened());
}

INSTANTIATE_TEST_SUITE_P(Ports, LostPortSearch,
                         ::testing::Values(LostCase{"InstrumentOnAnotherPortIsFound", 2, 2, true},
                                           LostCase{"OnlyPortEndsWithNotFound", 1, 0, false}),
                         [](const ::testing::TestParamInfo<LostCase>& info) {
                           return info.param.name;
                         });

TEST_F(WireTest, RefusedLineSettingsGoToTheLogWithOneBoxPerRun) {
  settings.BaudSearchList = {2, 3};
  settings.BaudCount = 2;
  StartShowingBoxes("", 1, 0);
  failing[0]->refuseLine = true;
  PressOk();
  // Two runs (the not-found handling starts the second), three settings each.
  ASSERT_TRUE(RunUntil([&] { return view.closed > 0; }, 200000));
  EXPECT_EQ(Boxes("refused"), 2);
  EXPECT_EQ(LogLines("COM1: line settings refused"), 6);
}

TEST_F(WireTest, ALineErrorRepeatsTheBaudRateOnceNotForEver) {
  settings.BaudSearchList = {1, 2, 3};
  settings.BaudCount = 3;
  Start(kMeter, 2, 2);
  PressOk();
  // A framing error on the silent port during the first attempt.
  windows.PostMessage(serial::WM_V24_ERROR, 1);
  ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));
  EXPECT_FALSE(engine->State().LineErrorSeen);
}

TEST_F(WireTest, DollarAnswerIsReadAsTheNumbersText) {
  Start(std::string(kMeter) + "[replies]\nA.2001 = I.21$1.05\n");
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));
  EXPECT_EQ(view.fields[3], "1.05");
  EXPECT_EQ(engine->Record().CurVer, 105);
  // One version answer: one serial-number request, one identification.
  EXPECT_EQ(instrument->Seen().Count("A.4001"), 1);
  EXPECT_EQ(paths.msp430.size(), 1u);
  EXPECT_EQ(engine->Record().SerialNumber, "12345678");
}

TEST_F(WireTest, ClockTextHasAPointUnderAGermanLocale) {
  GermanLocale german;
  ASSERT_TRUE(german.Active()) << "no de_DE.UTF-8 locale: install locales-all";
  Start(kMeter);
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));
  engine->SetInstrumentClock(false);
  ASSERT_TRUE(RunUntil([&] { return instrument->Seen().clockSets == 1; }, 5000));
  EXPECT_TRUE(std::regex_match(instrument->Seen().clock, std::regex(R"(\d{5}\.\d{6})")))
      << instrument->Seen().clock;
}

TEST_F(WireTest, ThirdFileVersionIsReadWithoutAFirstFile) {
  devices.DeviceTable[0].ProgFile3 = "sensor.txt";
  devices.DeviceTable[0].SWKenn3 = "@F000\r\n";
  folder.Write("sensor.txt", FirmwareText("1.10"));
  Start("[identity]\nversion = 1.20,1.05\n");
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));
  EXPECT_EQ(view.panels[3], "Version 1.30 / 1.10");
  EXPECT_EQ(engine->Record().NewVer2, 110);
  // The secondary processor's file is newer: it is programmed.
  events.queue.PostEvent(update::ev::kSecondaryDecision);
  events.pump.PumpEvents();
  ASSERT_TRUE(RunUntil([&] { return paths.msp430.size() == 2; }));
  EXPECT_EQ(paths.msp430[1].job, update::Msp430Job::kSecondary);
  EXPECT_EQ(paths.msp430[1].file, "sensor.txt");
}

struct TextCase {
  const char* name;
  int32_t language;   // or the ProgFile2 value
  const char* value;  // the expected text
};

void PrintTo(const TextCase& c, std::ostream* os) {
  *os << c.name;
}

class FileOpenMessage : public WireTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(FileOpenMessage, NamesTheFileInTheUsersLanguage) {
  settings.LanguageIndex = GetParam().language;
  devices.DeviceTable[0].ProgFile2 = "pH3310.txt,missing.txt";
  Start(kMeter);
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return !view.boxes.empty(); }));
  EXPECT_EQ(view.boxes[0].text, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, FileOpenMessage,
    ::testing::Values(TextCase{"German", 0, "Die Datei \"missing.txt\" lässt sich nicht öffnen."},
                      TextCase{"English", 1, "Cannot open file \"missing.txt\"."}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return info.param.name; });

class WindowsPaths : public WireTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(WindowsPaths, AreListedAndOpened) {
  devices.DeviceTable[0].ProgFile2 = GetParam().value;
  std::filesystem::create_directory(folder.Path() / "sub");
  folder.Write("sub/a.txt", FirmwareText("1.40"));
  Start(kMeter);
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));
  EXPECT_TRUE(view.boxes.empty()) << view.boxes.front().text;
  // The entry keeps its name as written; its version was read from the file.
  EXPECT_EQ(engine->Record().DownloadList, std::vector<std::string>{"sub\\a.txt"});
  EXPECT_EQ(view.panels[3], "Version 1.40");
}

INSTANTIATE_TEST_SUITE_P(ProgFile2, WindowsPaths,
                         ::testing::Values(TextCase{"Folder", 0, "pH3310.txt,sub\\*.*"},
                                           TextCase{"FileInAFolder", 0, "pH3310.txt,sub\\a.txt"}),
                         [](const ::testing::TestParamInfo<TextCase>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace test
