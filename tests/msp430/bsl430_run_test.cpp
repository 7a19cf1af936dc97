// The classic loader against the simulated classic boot loader: whole runs through the engine's
// MSP430 path ending with the flash equal to the image, and runs that must end as failures.
#include <gtest/gtest.h>

#include <algorithm>

#include "loaders/msp430/bsl430.h"
#include "tests/msp430/loader_rig.h"

namespace msp430_test {
namespace {

constexpr char kFirmware[] = "firmware.txt";
constexpr int32_t kClassicProcessor = 0x149;

std::string ClassicProfile(const std::string& version, const std::string& extra = "") {
  return "[bootloader]\ntarget = classic\nversion = " + version + "\n" + extra;
}

const std::string kBsl160 = ClassicProfile("1.60");
const std::string kBsl110 = ClassicProfile("1.10");
const std::string kBsl213 =
    ClassicProfile("2.13", "chip_id = 0xF26F\nbaud_clock = 0x808C\nflash_end = 0x1FFFF\n");

// A patch for boot loader 1.10: two blocks of code in RAM at the address the boot loader runs.
const std::vector<Section> kPatch = {{0x0220, Pattern(300, 0x40)}};

struct SuccessCase {
  const char* name;
  std::string profile;
  std::vector<Section> image;
  int32_t flashErase2;
  int speedChanges;
  const char* startAddress;  // of the program start, when the case is about it
};

void PrintTo(const SuccessCase& c, std::ostream* os) {
  *os << c.name;
}

class ClassicRun : public LoaderRig, public ::testing::WithParamInterface<SuccessCase> {};

TEST_P(ClassicRun, ProgramsTheImageAndStartsIt) {
  const SuccessCase& c = GetParam();
  Start(c.profile);
  WriteImage(kFirmware, c.image);
  folder.Write("Patch.TXT", TiTxt(kPatch));
  Identified(kFirmware, kClassicProcessor);
  update::RunStateAccess::Record(*engine).FlashErase2 = c.flashErase2;

  ProgramMainFirmware();

  EXPECT_TRUE(view.boxes.empty()) << view.boxes.front().text;
  ASSERT_EQ(view.finished, 1);
  EXPECT_TRUE(view.LogHas(std::string(messages::Text(messages::MSG_SUCCESS, 0)).substr(0, 20)));
  ExpectFlashEquals(c.image);
  ExpectCleanEnd();
  const sim::Record& seen = instrument->Seen();
  EXPECT_EQ(seen.programStarts, 1);
  EXPECT_EQ(seen.frames.count("change_baud_rate") ? seen.frames.at("change_baud_rate") : 0,
            c.speedChanges);
  if (c.startAddress) {
    EXPECT_EQ(seen.startAddress, c.startAddress);
  }
  // The alternative entry: dialogue, password word from answer 80, entry command with the code.
  const std::vector<std::string> expected = {"A.1000", "A.5577", "A.5588#QK48", "A.1121"};
  EXPECT_EQ(seen.commands, expected);
  EXPECT_EQ(engine->Record().BslPasswordWord, 0x1100);
}

const Section kCode{0x1100, Pattern(600, 1)};
const Section kVectors = VectorTableWithStart(0xFFE0, 0x1234, 0x1100);

INSTANTIATE_TEST_SUITE_P(
    Versions, ClassicRun,
    ::testing::Values(
        SuccessCase{"Bsl160ChangesSpeed",
                    kBsl160,
                    {kVectors, kCode, {0x8000, Pattern(100, 9)}},
                    0,
                    1,
                    nullptr},
        SuccessCase{"VectorTableLastIsStartedAtFFFC", kBsl160, {kCode, kVectors}, 0, 1, "0x1234"},
        SuccessCase{"BlockBehindTheVectorTableIsStartedAtFFFC",
                    kBsl160,
                    {{0x4000, Pattern(300, 2)}, kVectors, {0xFE00, Pattern(64, 6)}},
                    0,
                    1,
                    "0x1234"},
        SuccessCase{"Bsl110LoadsThePatch", kBsl110, {kCode, kVectors}, 0, 0, "0x1234"},
        SuccessCase{"Bsl213ReachesAbove64K",
                    kBsl213,
                    {kCode, kVectors, {0x10000, Pattern(300, 5)}, {0x1F000, Pattern(64, 3)}},
                    0x1F000,
                    1,
                    "0x1234"}),
    [](const ::testing::TestParamInfo<SuccessCase>& info) { return info.param.name; });

TEST_F(LoaderRig, Bsl110CallsThePatchBeforeEveryBlockCommand) {
  Start(kBsl110);
  const std::vector<Section> image = {kCode, kVectors};
  WriteImage(kFirmware, image);
  folder.Write("Patch.TXT", TiTxt(kPatch));
  Identified(kFirmware, kClassicProcessor);
  ProgramMainFirmware();
  ASSERT_EQ(view.finished, 1);
  const auto& frames = instrument->Seen().frames;
  // Three code blocks and the vector block, each written and read back after a patch call (the
  // vector segment's erase gets one too); one load of the program counter restarts the boot
  // loader, one starts the program.
  EXPECT_EQ(frames.at("rx_data_block"), 2 + 4);  // the patch's two blocks, then the image's
  EXPECT_EQ(frames.at("load_pc"), 1 + (4 + 1) + 4 + 1);
}

// An image that sets vectors besides reset is programmed, with a warning: the instrument's next
// password is that table, of which it names only the reset vector.
TEST_F(LoaderRig, ImageSettingOtherVectorsIsProgrammedWithAWarning) {
  settings.LanguageIndex = 1;
  Start(kBsl160);
  WriteImage(kFirmware, {kCode, kVectors});
  Identified(kFirmware, kClassicProcessor);
  ProgramMainFirmware();
  EXPECT_EQ(view.finished, 1);
  EXPECT_TRUE(view.LogHas(messages::Filled(messages::MSG_IMAGE_SETS_VECTORS, 1, kFirmware)));
  ExpectFlashEquals({kCode, kVectors});
}

// Answers the simulated boot loader holds back or leaves out, in a 1.10 run (the line stays at
// 9600 baud, so the new firmware's greeting is heard while the loader still runs). Frame 135 is
// the second block write, 145 the second read-back, 150 the start; each retry needs the patch
// call again; without the start's acknowledgement the new firmware's greeting confirms the start.
struct LateCase {
  const char* name;
  const char* faults;
  int extraPatchCalls;
};

void PrintTo(const LateCase& c, std::ostream* os) {
  *os << c.name;
}

class ClassicLateAnswer : public LoaderRig, public ::testing::WithParamInterface<LateCase> {};

TEST_P(ClassicLateAnswer, RunSucceeds) {
  const LateCase& c = GetParam();
  Start(kBsl110 + "[bootloader_faults]\nlate_ms = 8000\n" + c.faults);
  const std::vector<Section> image = {kCode, VectorTable(0xFFE0, 0x1100)};
  WriteImage(kFirmware, image);
  folder.Write("Patch.TXT", TiTxt(kPatch));
  Identified(kFirmware, kClassicProcessor);
  ProgramMainFirmware();

  EXPECT_TRUE(view.boxes.empty()) << view.boxes.front().text;
  ASSERT_EQ(view.finished, 1);
  EXPECT_TRUE(view.LogHas(std::string(messages::Text(messages::MSG_SUCCESS, 0)).substr(0, 20)));
  ExpectFlashEquals(image);
  ExpectCleanEnd();
  const sim::Record& seen = instrument->Seen();
  EXPECT_EQ(seen.programStarts, 1);
  EXPECT_EQ(seen.Count("A.1121"), 1);  // the end command, after the new firmware's greeting
  EXPECT_EQ(seen.frames.at("load_pc"), 1 + (4 + 1) + 4 + 1 + c.extraPatchCalls);
}

INSTANTIATE_TEST_SUITE_P(Faults, ClassicLateAnswer,
                         ::testing::Values(LateCase{"WriteUnanswered", "silent = 135\n", 1},
                                           LateCase{"WriteRefused", "nak = 135\n", 1},
                                           LateCase{"WriteAckLate", "late = 135\n", 1},
                                           LateCase{"ReadBackUnanswered", "silent = 145\n", 1},
                                           LateCase{"ReadBackLate", "late = 145\n", 1},
                                           LateCase{"StartAckLost", "lost = 150\n", 0}),
                         [](const ::testing::TestParamInfo<LateCase>& info) {
                           return info.param.name;
                         });

// The answer to the synchronisation character in front of the first block write (the 124th)
// comes after the retry's character has gone out. The boot loader took that second character
// for the start of a frame (it waits 2 s for a frame's bytes) and refuses the block frame that
// follows; a 0x80 among the block's data then counts as a synchronisation character and is
// acknowledged behind the rejection. The rejection answers the block: it is written again.
TEST_F(LoaderRig, LateSynchronisationAnswerIsNotTakenForTheBlocks) {
  Start(ClassicProfile("1.60", "frame_timeout_ms = 2000\n") +
        "[bootloader_faults]\nlate_sync = 124\n");
  const std::vector<Section> image = {kCode, VectorTable(0xFFE0, 0x1100)};
  WriteImage(kFirmware, image);
  Identified(kFirmware, kClassicProcessor);
  ProgramMainFirmware();
  EXPECT_TRUE(view.boxes.empty()) << view.boxes.front().text;
  ASSERT_EQ(view.finished, 1);
  ExpectFlashEquals(image);
  EXPECT_EQ(instrument->Seen().programStarts, 1);
  EXPECT_EQ(instrument->Seen().frames.at("rx_data_block"), 4);  // each block taken once
}

// Runs of the loader itself (not through the path), so its error code can be read.
class ClassicFailure : public LoaderRig {
 protected:
  int32_t Execute(const std::string& file = kFirmware) {
    loader = msp430::MakeLoader(Host(), update::Msp430Job::kMain, kClassicProcessor);
    return loader->Execute(0, file, true, true).programmed ? 1 : 0;
  }
  void ExpectFailure(int32_t errorCode, messages::MessageId message) {
    EXPECT_EQ(loader->GetErrorCode(), errorCode);
    ASSERT_FALSE(view.boxes.empty());
    EXPECT_EQ(view.boxes.back().text, messages::Text(message, 0));
    EXPECT_EQ(view.boxes.back().icon, update::BoxIcon::Error);
    EXPECT_EQ(instrument->Seen().programStarts, 0);
    ExpectCleanEnd();
  }
  std::unique_ptr<msp430::Msp430Loader> loader;
};

TEST_F(ClassicFailure, RepeatedRejectionsEndWithTheStepsMessage) {
  // Frames 1 and 2 are the version request and the password; every speed change is refused.
  Start(ClassicProfile("1.60", "[bootloader_faults]\nnak = 3,4,5,6,7\n"));
  WriteImage(kFirmware, {kCode, kVectors});
  EXPECT_EQ(Execute(), 0);
  EXPECT_EQ(instrument->Seen().frames.at("change_baud_rate"), 4);
  ExpectFailure(msp430::step::kBaudRate, messages::MSG_BOOTLOADER_ERROR);
}

TEST_F(ClassicFailure, InstrumentWithoutBootLoaderAnswersQuestionMark) {
  Start("[bootloader]\ntarget = none\n");
  WriteImage(kFirmware, {kCode, kVectors});
  EXPECT_EQ(Execute(), 0);
  EXPECT_EQ(instrument->Seen().Count("A.5577"), 1);
  EXPECT_EQ(instrument->Seen().Count("A.5588"), 0);
  ExpectFailure(msp430::step::kRefused, messages::MSG_BOOTLOADER_MISSING);
}

TEST_F(ClassicFailure, SilentDialogueEndsAfterFifteenSeconds) {
  Start(kBsl160 + "[faults]\nsilent = 1\n");  // "A.1000" gets no answer
  WriteImage(kFirmware, {kCode, kVectors});
  const uint32_t start = windows.TickCount();
  EXPECT_EQ(Execute(), 0);
  EXPECT_GE(windows.TickCount() - start, msp430::Msp430Loader::kDialogueTimeoutMs);
  EXPECT_EQ(port->Written(), "A.1000\r\n");
  ExpectFailure(msp430::step::kOther, messages::MSG_BOOTLOADER_ERROR);  // no step yet
}

TEST_F(ClassicFailure, ReadBackDifferenceFails) {
  // Two sections over the same bytes: the flash keeps both (bits only clear), so the first
  // block does not read back as written.
  Start(kBsl160);
  WriteImage(kFirmware, {{0x2000, Pattern(32, 0x11)}, {0x2000, Pattern(32, 0x66)}, kVectors});
  EXPECT_EQ(Execute(), 0);
  ExpectFailure(msp430::step::kVerify, messages::MSG_BOOTLOADER_ERROR);
}

TEST_F(ClassicFailure, DisconnectedInstrumentFails) {
  // The line goes away after the fifth frame's answer (an erase): the next synchronisation
  // character is never answered.
  Start(ClassicProfile("1.60", "[bootloader_faults]\ndisconnect = 5\n"));
  WriteImage(kFirmware, {kCode, kVectors});
  EXPECT_EQ(Execute(), 0);
  ExpectFailure(msp430::step::kSync, messages::MSG_BOOTLOADER_ERROR);
}

TEST_F(ClassicFailure, MissingPatchEndsTheRunBeforeAnythingIsErased) {
  Start(kBsl110);
  WriteImage(kFirmware, {kCode, kVectors});
  EXPECT_EQ(Execute(), 0);
  ExpectFailure(msp430::step::kPatchRestart, messages::MSG_BOOTLOADER_ERROR);
  EXPECT_TRUE(view.LogHas("Patch.TXT"));
  EXPECT_EQ(instrument->Seen().frames.count("erase_segment"), 0u);
  EXPECT_EQ(instrument->Flash()->Read(0x1100), 0x31);  // the old program is still there
}

TEST_F(ClassicFailure, UnusableImageIsRefusedBeforeAnythingIsSent) {
  Start(kBsl160);
  folder.Write("bad.txt", "@1100\r\n31 40 0G\r\nq\r\n");
  folder.Write("nostart.txt", "@1100\r\n31 40\r\nq\r\n");
  // Above 0xFFFF but no vector table: its segment would be erased and never written again.
  WriteImage("novectors.txt", {kCode, {0x10000, Pattern(32, 1)}});
  const struct {
    const char* file;
    const char* says;
  } cases[] = {{"missing.txt", "cannot be read"},
               {"bad.txt", "line 2"},
               {"nostart.txt", "no start address"},
               {"novectors.txt", "no interrupt vector table"}};
  settings.LanguageIndex = 1;
  for (const auto& c : cases) {
    view.boxes.clear();
    EXPECT_EQ(Execute(c.file), 0);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_NE(view.boxes[0].text.find(c.file), std::string::npos) << view.boxes[0].text;
    EXPECT_NE(view.boxes[0].text.find(c.says), std::string::npos) << view.boxes[0].text;
    EXPECT_EQ(loader->GetErrorCode(), 0);
  }
  EXPECT_TRUE(port->Written().empty());
  ExpectCleanEnd();
}

}  // namespace
}  // namespace msp430_test
