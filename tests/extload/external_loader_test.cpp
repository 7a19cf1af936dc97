// The external loaders on the update engine: the command lines they build, how often they run
// a program and what its exit code makes of the run, the port handed over and taken back, the
// failures they report, and the M16 loader library in place of the program. The programs are not
// started: a recording launcher answers with scripted exit codes on the virtual clock.
#include "loaders/external/external_loader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <atomic>
#include <thread>

#include <deque>
#include <map>

#include "core/event_core.h"
#include "core/virtual_window_system.h"
#include "tests/support/recording_view.h"
#include "tests/support/run_state_access.h"
#include "tests/support/temp_folder.h"
#include "update/engine.h"

namespace {

using loaders::ExternalLoaders;
using loaders::kLaunchFailed;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A port that records what is done with it.
class RecordingPort : public serial::TComPort {
 public:
  explicit RecordingPort(std::vector<std::string>& calls)
      : TComPort(Inventory::Skip), calls_(calls) {}
  serial::PortHandle Open(core::WindowSystem*, int32_t port, bool) override {
    calls_.push_back("open " + std::to_string(port));
    open_ = true;
    line_.BaudRate = 4800;  // opening sets the recorded parameters
    return 1;
  }
  void Close() override {
    calls_.push_back("close");
    open_ = false;
  }
  bool Opened() const override { return open_; }
  void SaveLastV24Parameter() override { calls_.push_back("save"); }
  void LoadLastV24Parameter() override { calls_.push_back("load"); }
  serial::LineConfig LoadV24Parameter() override { return line_; }
  bool SaveV24Parameter(const serial::LineConfig* config) override {
    // The instrument was found at 9600 baud.
    calls_.push_back(config->BaudRate == 9600 ? "restore" : "restore other");
    line_ = *config;
    return true;
  }
  void FoundAt9600() { line_.BaudRate = 9600; }
  bool ChangeV24Parameter(serial::BaudTag baud, serial::StopBitTag stopBits,
                          serial::ParitaetTag parity, bool) override {
    const bool normal =
        baud == serial::B__9600 && stopBits == serial::S_2 && parity == serial::NoParity;
    calls_.push_back(normal ? "change 9600 8N2" : "change other");
    return true;
  }

 private:
  std::vector<std::string>& calls_;
  bool open_ = false;
  serial::LineConfig line_;
};

// Starts nothing: each "program" ends after runMs of virtual time with the next scripted exit
// code (the last one repeats), or never when runMs is 0.
class ScriptedLauncher : public platform::ProcessLauncher {
 public:
  ScriptedLauncher(core::WindowSystem& windows, const serial::TComPort& port)
      : windows_(windows), port_(port) {}

  std::unique_ptr<platform::ChildProcess> Start(const platform::ProcessCommand& command,
                                                std::string& error) override {
    started.push_back(command);
    if (!refusal.empty()) {
      error = refusal;
      return nullptr;
    }
    int32_t code = exits.empty() ? 0 : exits.front();
    if (exits.size() > 1) exits.pop_front();
    return std::make_unique<Child>(*this, code);
  }

  std::vector<platform::ProcessCommand> started;
  std::deque<int32_t> exits{0};
  uint32_t runMs = 1000;
  std::string refusal;  // non-empty: the start fails with this reason
  int kills = 0;
  bool portOpenWhileRunning = false;

 private:
  class Child : public platform::ChildProcess {
   public:
    Child(ScriptedLauncher& owner, int32_t code)
        : owner_(owner), code_(code), start_(owner.windows_.TickCount()) {}
    std::optional<int32_t> Poll() override {
      owner_.portOpenWhileRunning = owner_.portOpenWhileRunning || owner_.port_.Opened();
      const uint32_t ran = owner_.windows_.TickCount() - start_;
      if (owner_.runMs == 0 || ran < owner_.runMs) return std::nullopt;
      return code_;
    }
    void Kill() override { ++owner_.kills; }

   private:
    ScriptedLauncher& owner_;
    int32_t code_;
    uint32_t start_;
  };

  core::WindowSystem& windows_;
  const serial::TComPort& port_;
};

// Every title the window showed, in order.
struct TitleView : test::RecordingView {
  std::vector<std::string> titles;
  void SetApplicationTitle(std::string_view text) override {
    RecordingView::SetApplicationTitle(text);
    titles.emplace_back(text);
  }
};

class ExternalLoaderTest : public ::testing::Test {
 protected:
  ExternalLoaderTest() : events(windows) {
    settings.LanguageIndex = 1;
    auto owned = std::make_unique<RecordingPort>(portCalls);
    port = owned.get();
    std::vector<std::unique_ptr<serial::TComPort>> table;
    table.push_back(std::move(owned));
    ports.AdoptPorts(std::move(table), {1});
    portCalls.clear();
    port->FoundAt9600();
    engine = std::make_unique<update::UpdateEngine>(events, view, settings, devices, ports,
                                                    std::vector<std::string>{});
    launcher = std::make_unique<ScriptedLauncher>(windows, *port);
    setup.processes = launcher.get();
    setup.programFolder = folder.Path();
    setup.searchPath = (folder.Path() / "bin").string();
    setup.sleep = [](std::chrono::milliseconds) {};
    SetPort(0);
    update::RunStateAccess::Record(*engine).MainFile = "Firmware.hex";
    firmware = folder.Write("Firmware.hex", std::string(20000, 'x')).string();
  }

  void SetPort(int32_t comIndex) {
    update::RunStateAccess::Of(*engine).ActivePort = 0;
    update::RunStateAccess::Of(*engine).ActiveComIndex = comIndex;
  }
  void Program(const std::string& name) { folder.Write(name, "#!/bin/sh\n"); }
  int32_t Run(const std::string& file) { return ExternalLoaders(*engine, setup).Run(file); }
  std::vector<std::string> Arguments(size_t run = 0) const {
    return launcher->started.at(run).arguments;
  }

  test::TempFolder folder;
  core::VirtualWindowSystem windows;
  core::EventCore events;
  TitleView view;
  package::Settings settings;
  package::DeviceDescription devices;
  std::vector<std::string> portCalls;  // outlives the port table, whose ports record here
  update::PortTable ports{windows};
  RecordingPort* port = nullptr;
  std::unique_ptr<update::UpdateEngine> engine;
  std::unique_ptr<ScriptedLauncher> launcher;
  loaders::ExternalLoaderSetup setup;
  std::string firmware;
};

struct CommandCase {
  const char* name;
  int32_t deviceKind;
  int32_t comIndex;
  bool marked;
  const char* program;                 // placed in the program folder
  const char* started;                 // what is started, below the program folder
  std::vector<std::string> arguments;  // FILE stands for the firmware file
};

void PrintTo(const CommandCase& c, std::ostream* os) {
  *os << c.name;
}

class CommandLine : public ExternalLoaderTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandLine, NamesTheProgramAndItsArgumentsOneByOne) {
  const CommandCase& c = GetParam();
  devices.DeviceKind = static_cast<package::DeviceKindId>(c.deviceKind);
  update::RunStateAccess::Record(*engine).MainFileMarked = c.marked;
  SetPort(c.comIndex);
  Program(c.program);
  folder.Write("bin/wine", "");
  // A file name with blanks stays one argument.
  const std::string file = folder.Write("My Firmware.hex", "x").string();

  EXPECT_EQ(Run(file), 0);

  ASSERT_EQ(launcher->started.size(), 1u);
  std::vector<std::string> expected;
  for (const std::string& word : c.arguments) {
    std::string filled = word;
    if (const size_t at = filled.find("FILE"); at != std::string::npos) filled.replace(at, 4, file);
    if (const size_t at = filled.find("FOLDER"); at != std::string::npos) {
      filled.replace(at, 6, folder.Path().string());
    }
    expected.push_back(filled);
  }
  EXPECT_EQ(launcher->started[0].program, (folder.Path() / c.started).string());
  EXPECT_EQ(Arguments(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLine,
    ::testing::Values(CommandCase{"Pic32OnCom5",
                                  3,
                                  4,
                                  false,
                                  "PIC32_Serial_Bootloader",
                                  "PIC32_Serial_Bootloader",
                                  {"-fFILE", "-c5", "-b7", "-a"}},
                      CommandCase{"Pic32OnCom9",
                                  2,
                                  8,
                                  false,
                                  "PIC32_Serial_Bootloader",
                                  "PIC32_Serial_Bootloader",
                                  {"-fFILE", "-c9", "-b7", "-a"}},
                      // A program of this system takes any port; it finds the device in its
                      // environment.
                      CommandCase{"Pic32NativeOnCom33",
                                  3,
                                  32,
                                  false,
                                  "PIC32_Serial_Bootloader",
                                  "PIC32_Serial_Bootloader",
                                  {"-fFILE", "-c33", "-b7", "-a"}},
                      CommandCase{
                          "Pic32WindowsProgramOnCom9",
                          3,
                          8,
                          false,
                          "PIC32_Serial_Bootloader.exe",
                          "bin/wine",
                          {"FOLDER/PIC32_Serial_Bootloader.exe", "-fFILE", "-c9", "-b7", "-a"}},
                      CommandCase{"HexLoadMarkedOnCom1",
                                  1,
                                  0,
                                  true,
                                  "HEXLoad_8N1",
                                  "HEXLoad_8N1",
                                  {"FILE", "-com1", "-baudrate9600", "-auto", "-exit"}},
                      CommandCase{"HexLoadOnCom12",
                                  0,
                                  11,
                                  false,
                                  "HEXLoad_8N1",
                                  "HEXLoad_8N1",
                                  {"FILE", "-com12", "-baudrate38400", "-auto", "-exit"}},
                      CommandCase{"WindowsProgramThroughWine",
                                  1,
                                  2,
                                  false,
                                  "HEXLoad_8N1.exe",
                                  "bin/wine",
                                  {"FOLDER/HEXLoad_8N1.exe", "FILE", "-com3", "-baudrate38400",
                                   "-auto", "-exit"}}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

TEST(FindLoaderProgram, TheExeRunsThroughItsHostOrByItselfWhereNoneIsNeeded) {
  using Found = loaders::LoaderProgram::Found;
  const struct {
    const char* name;
    std::vector<std::string> files;
    const char* host;  // empty: a Windows program starts by itself
    Found found;
    const char* program;  // below the folder
    bool exeArgument;     // the .exe is the host's first argument
  } cases[] = {
      {"NativeBeforeExe", {"X", "X.exe", "bin/wine"}, "wine", Found::kNative, "X", false},
      {"ExeThroughWine", {"X.exe", "bin/wine"}, "wine", Found::kThroughWine, "bin/wine", true},
      {"ExeWithoutWine", {"X.exe"}, "wine", Found::kNoWine, "", false},
      {"NoHostExeIsNative", {"X", "X.exe", "bin/wine"}, "", Found::kNative, "X.exe", false},
      {"NoHostWithoutExe", {"X"}, "", Found::kMissing, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempFolder folder;
    for (const std::string& file : c.files) folder.Write(file, "");
    const loaders::LoaderProgram found =
        loaders::FindLoaderProgram(folder.Path(), "X", (folder.Path() / "bin").string(), c.host);
    EXPECT_EQ(found.found, c.found);
    EXPECT_EQ(found.program, *c.program ? (folder.Path() / c.program).string() : "");
    EXPECT_EQ(found.arguments, c.exeArgument
                                   ? std::vector<std::string>{(folder.Path() / "X.exe").string()}
                                   : std::vector<std::string>{});
  }
}

TEST_F(ExternalLoaderTest, TheProgramIsToldThePortsDevice) {
  setenv("UPDATE_PORT_DIR", "/tmp/test-ports", 1);
  devices.DeviceKind = package::DeviceKindId::kMsp430;
  SetPort(1);
  Program("HEXLoad_8N1");
  Run(firmware);
  unsetenv("UPDATE_PORT_DIR");
  ASSERT_EQ(launcher->started.size(), 1u);
  EXPECT_THAT(launcher->started[0].environment,
              ElementsAre("UPDATE_PORT_DEVICE=/tmp/test-ports/COM2"));
}

struct ExitCase {
  const char* name;
  int32_t deviceKind;
  int32_t startMode;
  std::deque<int32_t> exits;
  size_t runs;
  int32_t result;
  const char* line;  // how the line is restored
};

void PrintTo(const ExitCase& c, std::ostream* os) {
  *os << c.name;
}

class ExitCodes : public ExternalLoaderTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitCodes, DecideTheRunsTheResultAndTheLineAfterwards) {
  const ExitCase& c = GetParam();
  devices.DeviceKind = static_cast<package::DeviceKindId>(c.deviceKind);
  devices.StartMode = static_cast<package::StartVariant>(c.startMode);
  SetPort(2);
  Program("HEXLoad_8N1");
  Program("PIC32_Serial_Bootloader");
  launcher->exits = c.exits;

  EXPECT_EQ(Run(firmware), c.result);

  EXPECT_EQ(launcher->started.size(), c.runs);
  EXPECT_FALSE(launcher->portOpenWhileRunning);
  EXPECT_THAT(portCalls, ElementsAre("save", "close", "open 2", c.line));
  EXPECT_EQ(view.title, "Update");
  EXPECT_EQ(view.log.empty(), c.result == 0) << (view.log.empty() ? "" : view.log.back());
}

const char* kRestored = "restore";
const char* kNormalLine = "change 9600 8N2";

INSTANTIATE_TEST_SUITE_P(
    Table, ExitCodes,
    ::testing::Values(ExitCase{"OneAsksForAnotherRunUpToThree", 1, 0, {1}, 3, 1, kRestored},
                      ExitCase{"OneThenSuccess", 1, 0, {1, 0}, 2, 0, kRestored},
                      ExitCase{"TwoEndsAtOnce", 1, 0, {2}, 1, 2, kRestored},
                      ExitCase{"Success", 1, 0, {0}, 1, 0, kRestored},
                      ExitCase{"SuccessInStartMode2", 0, 2, {0}, 1, 0, kNormalLine},
                      ExitCase{"FailureInStartMode2", 0, 2, {2}, 1, 2, kRestored},
                      ExitCase{"Pic32RetriesToo", 3, 0, {1}, 3, 1, kRestored},
                      ExitCase{"Pic32KeepsTheSavedLineInStartMode2", 3, 2, {0}, 1, 0, kRestored}),
    [](const ::testing::TestParamInfo<ExitCase>& info) { return info.param.name; });

TEST_F(ExternalLoaderTest, WithoutAMainFileNothingIsClosedOrStarted) {
  for (package::DeviceKindId kind :
       {package::DeviceKindId::kMsp430, package::DeviceKindId::kPic32}) {
    devices.DeviceKind = kind;
    Program("HEXLoad_8N1");
    Program("PIC32_Serial_Bootloader");
    update::RunStateAccess::Record(*engine).MainFile = "";
    EXPECT_EQ(Run(firmware), 1);
    EXPECT_TRUE(launcher->started.empty());
    EXPECT_TRUE(portCalls.empty());
  }
}

TEST_F(ExternalLoaderTest, TheTitleEstimatesTheProgressFromTheFilesSize) {
  devices.DeviceKind = package::DeviceKindId::kMsp430;
  Program("HEXLoad_8N1");
  launcher->runMs = 1000;  // 20000 bytes: ten ticks expected, three come
  Run(firmware);
  std::vector<std::string> shown;
  for (const std::string& title : view.titles) {
    if (title != "Update") shown.push_back(title);
  }
  EXPECT_THAT(shown, ElementsAre("Update [ 10.0 %]", "Update [ 20.0 %]", "Update [ 30.0 %]"));
  EXPECT_EQ(view.title, "Update");
}

TEST_F(ExternalLoaderTest, ThePic32ProgramShowsNoEstimate) {
  devices.DeviceKind = package::DeviceKindId::kPic32;
  Program("PIC32_Serial_Bootloader");
  launcher->runMs = 3000;
  Run(firmware);
  EXPECT_THAT(view.titles, ::testing::Each(std::string("Update")));
}

struct FailureCase {
  const char* name;
  int32_t deviceKind;
  int32_t comIndex;
  const char* program;  // placed in the program folder ("": none)
  bool wine;
  const char* refusal;  // the start fails with this reason
  size_t starts;
  std::vector<std::string> portCalls;
  std::vector<std::string> logged;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.name;
}

class LaunchFailure : public ExternalLoaderTest,
                      public ::testing::WithParamInterface<FailureCase> {};

TEST_P(LaunchFailure, IsReportedNeverRetriedAndNeverASuccess) {
  const FailureCase& c = GetParam();
  devices.DeviceKind = static_cast<package::DeviceKindId>(c.deviceKind);
  SetPort(c.comIndex);
  if (*c.program) Program(c.program);
  if (c.wine) folder.Write("bin/wine", "");
  launcher->refusal = c.refusal;

  EXPECT_EQ(Run(firmware), kLaunchFailed);

  EXPECT_EQ(launcher->started.size(), c.starts);
  EXPECT_EQ(portCalls, c.portCalls);
  ASSERT_FALSE(view.log.empty());
  for (const std::string& part : c.logged) {
    std::string text = part;
    if (text == "FOLDER") text = folder.Path().string();
    EXPECT_THAT(view.log.back(), HasSubstr(text));
  }
}

const std::vector<std::string> kHandedBack = {"save", "close", "open 0", "restore"};

INSTANTIATE_TEST_SUITE_P(
    Table, LaunchFailure,
    ::testing::Values(FailureCase{"ProgramMissing",
                                  1,
                                  0,
                                  "",
                                  false,
                                  "",
                                  0,
                                  kHandedBack,
                                  {"HEXLoad_8N1", "FOLDER", "is not in the folder"}},
                      FailureCase{"WindowsProgramWithoutWine",
                                  1,
                                  0,
                                  "HEXLoad_8N1.exe",
                                  false,
                                  "",
                                  0,
                                  kHandedBack,
                                  {"HEXLoad_8N1.exe", "FOLDER", "wine is not installed"}},
                      FailureCase{"ProgramCannotBeStarted",
                                  1,
                                  0,
                                  "HEXLoad_8N1",
                                  false,
                                  "Permission denied",
                                  1,
                                  kHandedBack,
                                  {"HEXLoad_8N1", "FOLDER", "Permission denied"}},
                      FailureCase{"Pic32ProgramCannotBeStarted",
                                  3,
                                  0,
                                  "PIC32_Serial_Bootloader",
                                  false,
                                  "Exec format error",
                                  1,
                                  kHandedBack,
                                  {"PIC32_Serial_Bootloader", "Exec format error"}},
                      // The Windows program reads one digit as its port: refused before the port
                      // is touched.
                      FailureCase{"Pic32WindowsProgramPortAboveNine",
                                  3,
                                  9,
                                  "PIC32_Serial_Bootloader.exe",
                                  true,
                                  "",
                                  0,
                                  {},
                                  {"PIC32_Serial_Bootloader.exe", "COM1 to COM9", "COM10",
                                   "loader program for this system"}},
                      FailureCase{"NoLauncherForTheKind",
                                  4,
                                  0,
                                  "HEXLoad_8N1",
                                  false,
                                  "",
                                  0,
                                  {},
                                  {"External loader", "not available"}}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST_F(ExternalLoaderTest, AProgramThatRunsPastItsDeadlineIsEndedAndThePortTakenBack) {
  devices.DeviceKind = package::DeviceKindId::kMsp430;
  Program("HEXLoad_8N1");
  launcher->runMs = 0;  // never ends
  const uint32_t start = windows.TickCount();
  EXPECT_EQ(Run(firmware), kLaunchFailed);
  EXPECT_EQ(launcher->kills, 1);
  EXPECT_EQ(launcher->started.size(), 1u);  // not run again
  EXPECT_EQ(portCalls, kHandedBack);
  EXPECT_THAT(view.log.back(), HasSubstr("had not finished after 20 minutes"));
  EXPECT_GE(windows.TickCount() - start, 20u * 60 * 1000);
}

// The M16 loader library in the program folder, given as a table of functions.
struct TableLibrary : platform::SharedLibrary {
  std::map<std::string, void*> symbols;
  void* Symbol(const std::string& name) const override {
    const auto found = symbols.find(name);
    return found == symbols.end() ? nullptr : found->second;
  }
};

std::vector<std::string> libraryCalls;
int32_t initResult = 1;
int32_t LibInit(int32_t port) {
  libraryCalls.push_back("Init " + std::to_string(port));
  return initResult;
}
int32_t LibOk() {
  libraryCalls.push_back("call");
  return 1;
}
int32_t LibProgram(const char16_t*, int32_t, void (*progress)(int32_t)) {
  libraryCalls.push_back("Program");
  progress(100);
  return 1;
}

class LibraryPath : public ExternalLoaderTest {
 protected:
  LibraryPath() {
    windows.SetRealTimeGraceMs(20);
    devices.DeviceKind = package::DeviceKindId::kMsp430;
    folder.Write("libQolmarM16Updater.so", "");
    Program("HEXLoad_8N1");
    libraryCalls.clear();
    initResult = 1;
    setup.openLibrary = [this](const std::filesystem::path& file, std::string&) {
      opened = file;
      auto library = std::make_unique<TableLibrary>();
      library->symbols = symbols;
      return library;
    };
    symbols = {{"M16Upd_Init", reinterpret_cast<void*>(&LibInit)},
               {"M16Upd_Deinit", reinterpret_cast<void*>(&LibOk)},
               {"M16Upd_IsBTLActive", reinterpret_cast<void*>(&LibOk)},
               {"M16Upd_Clear", reinterpret_cast<void*>(&LibOk)},
               {"M16Upd_Program", reinterpret_cast<void*>(&LibProgram)},
               {"M16Upd_MakeValid", reinterpret_cast<void*>(&LibOk)},
               {"M16Upd_ExitAndStartApplication", reinterpret_cast<void*>(&LibOk)}};
  }
  std::map<std::string, void*> symbols;
  std::filesystem::path opened;
};

TEST_F(LibraryPath, TakesThePlaceOfTheProgram) {
  SetPort(3);
  EXPECT_EQ(Run(firmware), 0);
  EXPECT_EQ(opened, folder.Path() / "libQolmarM16Updater.so");
  EXPECT_TRUE(launcher->started.empty());
  EXPECT_THAT(libraryCalls,
              ElementsAre("Init 4", "call", "call", "Program", "call", "call", "call"));
  EXPECT_EQ(portCalls, (std::vector<std::string>{"save", "close", "open 3", "restore"}));
  EXPECT_EQ(view.maximum, 105);
  EXPECT_EQ(view.position, 105);
  EXPECT_THAT(view.titles, ::testing::Contains("Update [ 100.0 %]"));
  EXPECT_EQ(view.title, "Update");
}

TEST_F(LibraryPath, AFailedStageIsAFailedProgrammingNamedInTheLog) {
  initResult = 0;
  EXPECT_EQ(Run(firmware), kLaunchFailed);
  EXPECT_THAT(libraryCalls, ElementsAre("Init 1", "call"));
  EXPECT_THAT(view.log.back(), HasSubstr("M16Upd_Init"));
  EXPECT_EQ(portCalls, kHandedBack);
}

// A library call that never returns: the job is given up at the deadline, the port taken back,
// and the run goes on to its failure.
std::atomic<bool> programReleased{false};
int32_t LibProgramHangs(const char16_t*, int32_t, void (*)(int32_t)) {
  while (!programReleased.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return 1;
}

TEST_F(LibraryPath, AJobThatRunsPastItsDeadlineIsGivenUp) {
  programReleased = false;
  symbols["M16Upd_Program"] = reinterpret_cast<void*>(&LibProgramHangs);
  setup.deadlineMs = 60 * 1000;
  const uint32_t start = windows.TickCount();
  EXPECT_EQ(Run(firmware), kLaunchFailed);
  EXPECT_GE(windows.TickCount() - start, setup.deadlineMs);
  EXPECT_THAT(view.log.back(), HasSubstr("had not finished after 1 minutes"));
  EXPECT_EQ(portCalls, kHandedBack);
  programReleased = true;  // the abandoned worker may end its job now
}

TEST_F(LibraryPath, ALibraryWithoutAnEntryPointIsReportedAndNotCalled) {
  symbols.erase("M16Upd_Clear");
  EXPECT_EQ(Run(firmware), kLaunchFailed);
  EXPECT_TRUE(libraryCalls.empty());
  EXPECT_TRUE(launcher->started.empty());
  EXPECT_THAT(view.log.back(), HasSubstr("lacks the entry point M16Upd_Clear"));
  EXPECT_EQ(portCalls, kHandedBack);
}

TEST_F(LibraryPath, AFileNameTooLongForTheLibraryIsRefused) {
  const std::string file = folder.Write(std::string(90, 'f') + ".hex", "x").string();
  EXPECT_EQ(Run(file), kLaunchFailed);
  EXPECT_TRUE(libraryCalls.empty());
  EXPECT_THAT(view.log.back(), HasSubstr("too long"));
  EXPECT_EQ(portCalls, kHandedBack);
}

TEST_F(LibraryPath, ALibraryThatDoesNotLoadLeavesTheProgram) {
  setup.openLibrary = [](const std::filesystem::path&, std::string& error) {
    error = "wrong ELF class";
    return std::unique_ptr<platform::SharedLibrary>();
  };
  EXPECT_EQ(Run(firmware), 0);
  EXPECT_EQ(launcher->started.size(), 1u);
  EXPECT_TRUE(libraryCalls.empty());
}

}  // namespace
