// The engine's side of the WinCE path (event 10050): which files the transfer gets, and what
// the run does with its result.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/msp430/loader_rig.h"

namespace loaders {
namespace {

using ::testing::HasSubstr;

// Records what the transfer was given and answers as told.
struct TransferDouble : test::WithoutOtherLoaders<update::ProgrammingPaths> {
  update::LoaderResult RunMsp430(update::RunHost&, const update::Msp430Call&) override {
    return update::LoaderResult::Failed();
  }
  int calls = 0;
  std::string file;
  std::vector<std::string> list;
  // Non-zero: the transfer succeeds.
  int32_t result = 1;
  update::LoaderResult RunWinCe(update::RunHost& run, const std::string& mainFile) override {
    ++calls;
    file = mainFile;
    list = run.Record().DownloadList;
    return result != 0 ? update::LoaderResult::Programmed() : update::LoaderResult::Failed();
  }
};

class WinCeEngine : public msp430_test::LoaderRig {
 protected:
  void SetUp() override {
    Start("");
    engine->SetPaths(&transfer);
    devices.DeviceKind = package::DeviceKindId::kWinCe;
  }
  void StartWinCe() {
    events.queue.PostEvent(update::ev::kStartWinCe);
    events.pump.PumpEvents();
  }

  TransferDouble transfer;
};

TEST_F(WinCeEngine, StartUpEntriesAreDroppedOnlyWhenTheInstrumentsStartUpIsCurrent) {
  struct Case {
    const char* name;
    std::vector<std::string> list;
    int32_t first, last;             // where the identification found the start-up program
    int32_t startupVer, offeredVer;  // the instrument's and the offered start-up version
    std::vector<std::string> sent;   // the list the transfer gets
  };
  const std::vector<std::string> withStartup = {"helper.dll", "StelvoStartUp.exe", "start.dll",
                                                "table.bin"};
  const Case cases[] = {
      {"current start-up program", withStartup, 1, 2, 110, 110, {"helper.dll", "table.bin"}},
      {"newer start-up program in the instrument",
       withStartup,
       1,
       2,
       120,
       110,
       {"helper.dll", "table.bin"}},
      {"older start-up program in the instrument", withStartup, 1, 2, 100, 110, withStartup},
      {"no start-up version reported", withStartup, 1, 2, 0, 110, withStartup},
      {"start-up program first in the list",
       {"StelvoStartUp.exe", "table.bin"},
       0,
       0,
       110,
       110,
       {"table.bin"}},
      // An instrument with a start-up program and a list without one: nothing to drop.
      {"list without a start-up program",
       {"table.bin", "data.bin"},
       0,
       0,
       110,
       0,
       {"table.bin", "data.bin"}},
  };
  for (const Case& c : cases) {
    update::RunStateAccess::Record(*engine).MainFile = "Main.exe";
    update::RunStateAccess::Record(*engine).CurVer = 100;
    update::RunStateAccess::Record(*engine).NewVer = 130;
    update::RunStateAccess::Record(*engine).DownloadList = c.list;
    update::RunStateAccess::Record(*engine).StartupVer = c.startupVer;
    update::RunStateAccess::Record(*engine).OfferedStartupVer = c.offeredVer;
    Run().StartupFirst = c.first;
    Run().StartupLast = c.last;
    transfer.list.clear();
    StartWinCe();
    EXPECT_EQ(transfer.list, c.sent) << c.name;
    EXPECT_EQ(transfer.file, "Main.exe") << c.name;
  }
}

TEST_F(WinCeEngine, SuccessStoresAndSetsTheClock) {
  update::RunStateAccess::Record(*engine).MainFile = "Main.exe";
  update::RunStateAccess::Record(*engine).CurVer = 100;
  update::RunStateAccess::Record(*engine).NewVer = 130;
  update::RunStateAccess::Record(*engine).DownloadList = {"table.bin"};
  StartWinCe();
  EXPECT_EQ(transfer.calls, 1);
  EXPECT_TRUE(Run().WinCEDone);
  EXPECT_TRUE(view.LogHas("Neue Daten werden gespeichert"));
  EXPECT_TRUE(engine->Record().DownloadList.empty());
  EXPECT_THAT(port->Written(), HasSubstr("A.1600#"));
  EXPECT_EQ(Run().UpdateStep, update::SequenceStep::kSecondaryAfterMain);
  EXPECT_FALSE(Run().Failed);
}

TEST_F(WinCeEngine, FailureEndsTheRunWithTheAbortText) {
  transfer.result = 0;
  update::RunStateAccess::Record(*engine).MainFile = "Main.exe";
  update::RunStateAccess::Record(*engine).CurVer = 100;
  update::RunStateAccess::Record(*engine).NewVer = 130;
  StartWinCe();
  EXPECT_EQ(transfer.calls, 1);
  EXPECT_TRUE(Run().Failed);
  EXPECT_TRUE(view.LogHas("Abbruch"));
  EXPECT_THAT(port->Written(), ::testing::Not(HasSubstr("A.1600#")));
}

TEST_F(WinCeEngine, CurrentFirmwareAndStartUpOnlySetTheClock) {
  update::RunStateAccess::Record(*engine).MainFile = "Main.exe";
  update::RunStateAccess::Record(*engine).CurVer = 130;
  update::RunStateAccess::Record(*engine).NewVer = 130;
  update::RunStateAccess::Record(*engine).StartupVer =
      update::RunStateAccess::Record(*engine).OfferedStartupVer = 110;
  StartWinCe();
  EXPECT_EQ(transfer.calls, 0);
  EXPECT_THAT(port->Written(), HasSubstr("A.1600#"));
}

}  // namespace
}  // namespace loaders
