// The engine's MSP430 path: which loader a job gets, and runs that reach it the way the state
// machine does (from OK, the retry in the boot loader, the secondary processor).
#include <gtest/gtest.h>

#include "loaders/msp430/bsl430.h"
#include "loaders/msp430/bsl54xx430.h"
#include "tests/msp430/loader_rig.h"
#include "update/event_codes.h"

namespace msp430_test {
namespace {

using update::Msp430Job;

TEST_F(LoaderRig, EachJobGetsTheLoaderOfItsProcessor) {
  Start("[bootloader]\ntarget = classic\n");
  const struct {
    Msp430Job job;
    int32_t prozTyp;
    bool f5xx;
  } cases[] = {{Msp430Job::kMain, 0x5438, true},
               {Msp430Job::kRepeat, 0x5438, true},  // the retry programs the same processor
               {Msp430Job::kSecondary, 0x5438, false},
               {Msp430Job::kMain, 0x149, false},
               {Msp430Job::kRepeat, 0xF237, false}};
  for (const auto& c : cases) {
    const auto loader = msp430::MakeLoader(Host(), c.job, c.prozTyp);
    EXPECT_EQ(dynamic_cast<msp430::T_BSL_54XX_430*>(loader.get()) != nullptr, c.f5xx)
        << static_cast<int>(c.job) << " " << c.prozTyp;
    EXPECT_EQ(dynamic_cast<msp430::T_BSL430*>(loader.get()) != nullptr, !c.f5xx);
  }
}

// A package as it is delivered: the version text at 0xF000 where the identification reads it,
// the program at 0x1100 and its reset vector.
const std::vector<Section> kPackageImage = {
    {0xF000, {'1', '.', '3', '0', 0x00, 0xFF}}, {0x1100, Pattern(400, 3)}, {0xFFFE, {0x00, 0x11}}};

TEST_F(LoaderRig, RunFromOkProgramsAClassicInstrument) {
  settings.BaudSearchList = {3};
  settings.BaudCount = 1;
  package::DeviceEntry entry;
  entry.DeviceNrDef = entry.DeviceNr = "20363.000";
  entry.DeviceName = "pH 3310";
  entry.ProgFile2 = "pH3310.txt";
  entry.SWKenn2 = "@F000\r\n";
  entry.ProzTyp = 0x149;
  devices.DeviceTable.push_back(entry);
  devices.StartMode = devices.SavedStartMode = package::StartVariant::kDirectIdent;
  firmwareFiles = {"pH3310.txt"};
  WriteImage("pH3310.txt", kPackageImage);
  Start("[identity]\nversion = 1.20\n[bootloader]\ntarget = classic\n");

  events.queue.PostKey(core::KEY_OK);
  events.pump.PumpEvents();
  ASSERT_TRUE(RunUntil([this] { return view.finished > 0 || !view.boxes.empty(); }, 120000));

  EXPECT_TRUE(view.boxes.empty()) << view.boxes.front().text;
  EXPECT_EQ(view.finished, 1);
  ExpectFlashEquals(kPackageImage);
  const sim::Record& seen = instrument->Seen();
  EXPECT_EQ(seen.startAddress, "0x1100");  // no word at 0xFFFC: the reset vector
  const std::vector<std::string> tail(seen.commands.end() - 4, seen.commands.end());
  const std::vector<std::string> expected = {"A.1000", "A.5577", "A.5588#QK48", "A.1121"};
  EXPECT_EQ(tail, expected);
  ExpectCleanEnd();
}

TEST_F(LoaderRig, RetryReachesAnF5xxWaitingInItsBootLoader) {
  // The first attempt learnt the password word; the instrument stayed in its boot loader.
  Start("[bootloader]\ntarget = f5xx\nstart_in_bootloader = 1\n");
  const std::vector<Section> image = {{0x5C00, Pattern(300, 8)}, VectorTable(0xFF80, 0x5C00)};
  WriteImage("f5.txt", image);
  Identified("f5.txt", msp430::kProcessorF5xx);
  update::RunStateAccess::Record(*engine).BslPasswordWord = 0x5C00;
  update::RunStateAccess::Record(*engine).BslPasswordKnown = true;

  events.queue.PostEvent(update::ev::kRepeatMsp430);
  events.pump.PumpEvents();
  RunUntil([this] { return instrument->Seen().programStarts > 0; }, 5000);

  EXPECT_TRUE(view.boxes.empty()) << view.boxes.front().text;
  EXPECT_EQ(instrument->Seen().wrongPasswords, 0);
  EXPECT_EQ(instrument->Seen().programStarts, 1);
  ExpectFlashEquals(image);
  EXPECT_TRUE(port->Written().find("A.1000") == std::string::npos);  // no dialogue
}

TEST_F(LoaderRig, SecondaryProcessorIsProgrammedWithTheClassicLoader) {
  Start("[bootloader]\ntarget = classic\n");
  const std::vector<Section> image = {{0x1100, Pattern(300, 6)}, VectorTable(0xFFE0, 0x1100)};
  WriteImage("second.txt", image);
  Identified("main.txt", msp430::kProcessorF5xx);  // the main processor is an F5xx
  update::DownloadContext& context = update::RunStateAccess::Record(*engine);
  context.CurVer = context.NewVer;  // only the secondary firmware is older
  context.CurVer2 = 150;
  context.NewVer2 = 160;
  context.SecondFile = "second.txt";

  events.queue.PostEvent(update::ev::kSecondaryDecision);
  events.pump.PumpEvents();
  RunUntil([this] { return instrument->Seen().programStarts > 0; }, 5000);

  EXPECT_TRUE(view.boxes.empty()) << view.boxes.front().text;
  ExpectFlashEquals(image);
  const sim::Record& seen = instrument->Seen();
  EXPECT_EQ(seen.Count("A.5555"), 1);  // the entry of boot-loader mode 1
  EXPECT_EQ(seen.Count("A.5566"), 1);
  EXPECT_EQ(seen.programStarts, 1);
}

}  // namespace
}  // namespace msp430_test
