// The M16 loader thread against the stand-in library: which calls a job makes when a stage
// fails, the progress it hands to the window thread, and its lifecycle. The worker runs on a
// real thread while the test plays the window thread on the virtual clock.
#include "loaders/external/hex_load.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "core/virtual_window_system.h"
#include "tests/support/recording_view.h"

namespace {

using loaders::M16Stage;
using loaders::THexLoad;
using ::testing::HasSubstr;

// The stand-in library, with its test controls.
struct StandIn {
  StandIn() {
    std::string error;
    library = platform::OpenSharedLibrary(M16_STAND_IN_PATH, error);
    EXPECT_NE(library, nullptr) << error;
    configure = reinterpret_cast<void (*)(const char*)>(library->Symbol("M16Stub_Configure"));
    calls = reinterpret_cast<const char* (*)()>(library->Symbol("M16Stub_Calls"));
  }
  std::unique_ptr<platform::SharedLibrary> library;
  void (*configure)(const char*) = nullptr;
  const char* (*calls)() = nullptr;
};

class M16Job : public ::testing::Test {
 protected:
  M16Job() { windows.SetRealTimeGraceMs(2000); }

  // Loads the stand-in set up by script into a new loader.
  std::unique_ptr<THexLoad> Loader(const std::string& script) {
    StandIn control;
    control.configure(script.c_str());
    calls = control.calls;
    StandIn loaded;
    return std::make_unique<THexLoad>(
        windows, std::move(loaded.library),
        [this](std::chrono::milliseconds ms) { sleeps.push_back(ms); });
  }

  // Plays the window thread until the job has ended, showing the progress as it comes.
  void Await(THexLoad& loader) {
    while (loader.IsBusy()) {
      windows.WaitMessages(windows.TickCount() + 1000);
      loader.DeliverProgress(view, 1);
      titles.push_back(view.title);
    }
    loader.DeliverProgress(view, 1);
  }

  core::VirtualWindowSystem windows;
  test::RecordingView view;
  std::vector<std::string> titles;
  std::vector<std::chrono::milliseconds> sleeps;
  const char* (*calls)() = nullptr;
};

struct StageCase {
  const char* name;
  std::string script;
  std::string calls;
  M16Stage failed;
  int32_t bar;
  size_t sleeps;
};

void PrintTo(const StageCase& c, std::ostream* os) {
  *os << c.name;
}

class M16Stages : public M16Job, public ::testing::WithParamInterface<StageCase> {};

TEST_P(M16Stages, CallsTheStagesThatFollowAndNamesTheFailedOne) {
  const StageCase& c = GetParam();
  std::unique_ptr<THexLoad> loader = Loader(c.script);
  ASSERT_TRUE(loader->IsLoaded());
  view.position = 0;
  ASSERT_TRUE(loader->Start("fw.hex", 3));
  Await(*loader);
  EXPECT_EQ(calls(), c.calls);
  EXPECT_EQ(loader->FailedStage(), c.failed);
  EXPECT_EQ(view.position, c.bar);
  EXPECT_EQ(sleeps.size(), c.sleeps);
  for (auto ms : sleeps) EXPECT_EQ(ms.count(), 200);
}

const std::string kOpen = "M16Upd_Init(3) M16Upd_IsBTLActive";
const std::string kToProgram = kOpen + " M16Upd_Clear M16Upd_Program(fw.hex)";

INSTANTIATE_TEST_SUITE_P(
    Table, M16Stages,
    ::testing::Values(
        StageCase{"AllSucceed", "",
                  kToProgram + " M16Upd_MakeValid M16Upd_ExitAndStartApplication M16Upd_Deinit",
                  M16Stage::kNone, 5, 0},
        StageCase{"InitFailsOnlyDeinitFollows", "Init=0", "M16Upd_Init(3) M16Upd_Deinit",
                  M16Stage::kInit, 2, 0},
        StageCase{"BootLoaderAnswersTheSecondAsk", "IsBTLActive=0,1",
                  kOpen + " M16Upd_IsBTLActive M16Upd_Clear M16Upd_Program(fw.hex) "
                          "M16Upd_MakeValid M16Upd_ExitAndStartApplication M16Upd_Deinit",
                  M16Stage::kNone, 5, 1},
        StageCase{"BootLoaderNeverActive", "IsBTLActive=0",
                  kOpen + " M16Upd_IsBTLActive M16Upd_Deinit", M16Stage::kIsBTLActive, 3, 1},
        StageCase{"ClearFails", "Clear=0", kOpen + " M16Upd_Clear M16Upd_Deinit", M16Stage::kClear,
                  4, 0},
        StageCase{"ProgramFails", "Program=0", kToProgram + " M16Upd_Deinit", M16Stage::kProgram, 5,
                  0},
        StageCase{"MakeValidFailsTheApplicationStartsAnyway", "MakeValid=0",
                  kToProgram + " M16Upd_MakeValid M16Upd_ExitAndStartApplication M16Upd_Deinit",
                  M16Stage::kMakeValid, 5, 0},
        StageCase{"ApplicationDoesNotStart", "ExitAndStartApplication=0",
                  kToProgram + " M16Upd_MakeValid M16Upd_ExitAndStartApplication M16Upd_Deinit",
                  M16Stage::kExitAndStartApplication, 5, 0}),
    [](const ::testing::TestParamInfo<StageCase>& info) { return info.param.name; });

TEST_F(M16Job, ProgressOfTheLibraryFillsTheBarAndTheTitle) {
  std::unique_ptr<THexLoad> loader = Loader("progress=40");
  ASSERT_TRUE(loader->Start("fw.hex", 1));
  Await(*loader);
  EXPECT_EQ(view.position, 45);
  EXPECT_EQ(view.title, "Update [ 43.0 %]");
  EXPECT_EQ(view.panels[4], " 43.0 %");
}

TEST_F(M16Job, StagesShowTheirNumberAsAPercentage) {
  std::unique_ptr<THexLoad> loader = Loader("Clear=0");
  ASSERT_TRUE(loader->Start("fw.hex", 1));
  Await(*loader);
  EXPECT_EQ(view.title, "Update [ 4.0 %]");
}

TEST_F(M16Job, RunsOneJobAfterAnotherOnTheParkedWorker) {
  std::unique_ptr<THexLoad> loader = Loader("Init=0,1");
  ASSERT_TRUE(loader->Start("a.hex", 1));
  Await(*loader);
  EXPECT_EQ(loader->FailedStage(), M16Stage::kInit);
  ASSERT_TRUE(loader->Start("b.hex", 2));
  Await(*loader);
  EXPECT_EQ(loader->FailedStage(), M16Stage::kNone);
  EXPECT_THAT(std::string(calls()), HasSubstr("M16Upd_Init(2)"));
  EXPECT_THAT(std::string(calls()), HasSubstr("M16Upd_Program(b.hex)"));
}

TEST_F(M16Job, IsBusyFromStartUntilTheJobsEndAndRefusesASecondStart) {
  std::unique_ptr<THexLoad> loader = Loader("delay=20");
  ASSERT_TRUE(loader->Start("fw.hex", 1));
  EXPECT_TRUE(loader->IsBusy());
  EXPECT_FALSE(loader->Start("other.hex", 1));
  Await(*loader);
  EXPECT_FALSE(loader->IsBusy());
  EXPECT_THAT(std::string(calls()), Not(HasSubstr("other.hex")));
}

TEST_F(M16Job, DestroyedDuringAJobWaitsForItsCallsToReturn) {
  std::unique_ptr<THexLoad> loader = Loader("delay=10");
  ASSERT_TRUE(loader->Start("fw.hex", 3));
  while (std::string(calls()).empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  loader.reset();
  // The job that had begun ran to its end: no call was cut off, and the library was closed.
  EXPECT_EQ(std::string(calls()),
            kToProgram + " M16Upd_MakeValid M16Upd_ExitAndStartApplication M16Upd_Deinit");
}

TEST_F(M16Job, DestroyedWhileParkedEndsAtOnce) {
  std::unique_ptr<THexLoad> loader = Loader("");
  loader.reset();
  EXPECT_EQ(std::string(calls()), "");
}

TEST_F(M16Job, WithoutALibraryNothingIsLoadedOrStarted) {
  THexLoad loader(windows, nullptr);
  EXPECT_FALSE(loader.IsLoaded());
  EXPECT_FALSE(loader.Start("fw.hex", 1));
  EXPECT_FALSE(loader.IsBusy());
}

// A library given as a table of names (the test's stand-in for a library with other names).
struct TableLibrary : platform::SharedLibrary {
  std::map<std::string, void*> symbols;
  void* Symbol(const std::string& name) const override {
    const auto found = symbols.find(name);
    return found == symbols.end() ? nullptr : found->second;
  }
};

std::vector<std::string> tableCalls;
int32_t TableInit(int32_t) {
  tableCalls.push_back("Init");
  return 1;
}
int32_t TableDeinit() {
  tableCalls.push_back("Deinit");
  return 1;
}
int32_t TableOther() {
  tableCalls.push_back("Other");
  return 1;
}

TEST(M16Entries, DecoratedNamesAreFoundWhenThePlainOnesAreMissing) {
  TableLibrary library;
  library.symbols["?M16Upd_Init@@YAHH@Z"] = reinterpret_cast<void*>(&TableInit);
  library.symbols["M16Upd_Deinit"] = reinterpret_cast<void*>(&TableDeinit);
  library.symbols["?M16Upd_Deinit@@YAHXZ"] = reinterpret_cast<void*>(&TableOther);
  const loaders::M16Entries entries = loaders::ResolveM16Entries(library);
  EXPECT_EQ(entries.M16Upd_Init, &TableInit);
  EXPECT_EQ(entries.M16Upd_Deinit, &TableDeinit);  // the plain name comes first
  EXPECT_EQ(entries.M16Upd_Clear, nullptr);
  EXPECT_EQ(loaders::MissingM16Entry(entries), M16Stage::kIsBTLActive);
}

TEST(M16Entries, AllEntryPointsResolveUnderTheNamesOfA32BitAndA64BitBuild) {
  // The two builds decorate the file-name pointer of M16Upd_Program differently.
  const std::vector<std::string> common = {"?M16Upd_Init@@YAHH@Z",
                                           "?M16Upd_IsBTLActive@@YAHXZ",
                                           "?M16Upd_Clear@@YAHXZ",
                                           "?M16Upd_MakeValid@@YAHXZ",
                                           "?M16Upd_ExitAndStartApplication@@YAHXZ",
                                           "?M16Upd_Deinit@@YAHXZ"};
  for (const char* program :
       {"?M16Upd_Program@@YAHPB_WHP6AXH@Z@Z", "?M16Upd_Program@@YAHPEB_WHP6AXH@Z@Z"}) {
    SCOPED_TRACE(program);
    TableLibrary library;
    for (const std::string& name : common) {
      library.symbols[name] = reinterpret_cast<void*>(&TableOther);
    }
    library.symbols[program] = reinterpret_cast<void*>(&TableOther);
    const loaders::M16Entries entries = loaders::ResolveM16Entries(library);
    EXPECT_EQ(loaders::MissingM16Entry(entries), M16Stage::kNone);
    EXPECT_NE(entries.M16Upd_Program, nullptr);
    EXPECT_NE(entries.M16Upd_Deinit, nullptr);
  }
}

TEST(M16Entries, AJobNeverCallsAnEntryPointThatIsMissing) {
  core::VirtualWindowSystem windows;
  windows.SetRealTimeGraceMs(2000);
  auto library = std::make_unique<TableLibrary>();
  library->symbols["M16Upd_Init"] = reinterpret_cast<void*>(&TableInit);
  library->symbols["M16Upd_Deinit"] = reinterpret_cast<void*>(&TableDeinit);
  tableCalls.clear();
  THexLoad loader(windows, std::move(library));
  ASSERT_TRUE(loader.Start("fw.hex", 1));
  while (loader.IsBusy()) windows.WaitMessages(windows.TickCount() + 1000);
  EXPECT_EQ(loader.FailedStage(), M16Stage::kIsBTLActive);
  EXPECT_EQ(tableCalls, (std::vector<std::string>{"Init", "Deinit"}));
}

TEST(M16FileName, FitsSeventyNineUnitsWithItsNulAndRefusesWhatDoesNot) {
  struct Case {
    std::string name;
    bool fits;
    std::u16string wide;
  };
  const Case cases[] = {
      {std::string(79, 'a'), true, std::u16string(79, u'a')},
      {std::string(80, 'a'), false, u""},
      {"M\xC3\xBCller.hex", true, u"M\u00FCller.hex"},  // one unit per character, not per byte
      {"bad\xC3.hex", false, u""},
      {"", true, u""},
  };
  for (const Case& c : cases) {
    std::array<char16_t, loaders::kM16FileNameUnits> wide;
    wide.fill(u'x');
    EXPECT_EQ(loaders::WideFileName(c.name, wide), c.fits) << c.name;
    if (!c.fits) continue;
    EXPECT_EQ(std::u16string(wide.data()), c.wide) << c.name;
    EXPECT_EQ(wide[c.wide.size()], u'\0') << c.name;
  }
}

TEST_F(M16Job, AFileNameThatDoesNotFitStartsNothing) {
  std::unique_ptr<THexLoad> loader = Loader("");
  EXPECT_FALSE(loader->Start(std::string(100, 'f') + ".hex", 1));
  EXPECT_FALSE(loader->IsBusy());
  loader.reset();
  EXPECT_EQ(std::string(calls()), "");
}

}  // namespace
