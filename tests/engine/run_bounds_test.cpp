// Every wait of a run for the instrument has an end, and an answer moves a run once: a send the
// instrument leaves unanswered ends as a failure that says what to do, in either language; an
// answer or prompt that arrives again, or after the run has ended, changes nothing.
#include <string>
#include <vector>

#include "core/event_codes.h"
#include "package/messages.h"
#include "tests/engine/engine_fixture.h"
#include "update/display.h"
#include "update/event_codes.h"

namespace test {
namespace {

namespace ev = update::ev;
using messages::MessageId;
using update::SequenceStep;

constexpr char kMeter[] = "[identity]\nversion = 1.20\n";

bool NoTimerClaimed(const core::EventCore& events) {
  for (int id = 1; id <= events.timers.Count(); ++id) {
    if (events.timers.InUse(id)) return false;
  }
  return true;
}

// Paths whose programs succeed and which count what the engine starts.
struct CountingPaths : RecordingPaths {
  int32_t external = 0, terminals = 0, winCe = 0;
  update::LoaderResult RunExternalLoader(update::RunHost&, const std::string&) override {
    ++external;
    return update::LoaderResult::Programmed();
  }
  void StartTerminal(update::RunHost&) override { ++terminals; }
  update::LoaderResult RunWinCe(update::RunHost&, const std::string&) override {
    ++winCe;
    return update::LoaderResult::Programmed();
  }
};

struct SilentCase {
  const char* name;
  int32_t kind;
  int32_t startMode;
  SequenceStep step;
  int32_t event;      // what carries the run to the send
  const char* third;  // the third file's program, or ""
  MessageId message;  // the failure that ends the wait
};

class SilentInstrument : public EngineFixture,
                         public ::testing::WithParamInterface<std::tuple<SilentCase, int32_t>> {
 protected:
  CountingPaths counting;
};

TEST_P(SilentInstrument, EndsTheWaitAsAFailureThatSaysWhatToDo) {
  const auto& [c, language] = GetParam();
  settings.LanguageIndex = language;
  devices.DeviceKind = static_cast<package::DeviceKindId>(c.kind);
  devices.StartMode = devices.SavedStartMode = static_cast<package::StartVariant>(c.startMode);
  Start("");  // nobody answers on the line
  engine->SetPaths(&counting);
  Run().ActivePort = 0;
  Run().UpdateStep = c.step;
  Run().PromptAwaited = true;
  Run().Identified = true;
  update::RunStateAccess::Record(*engine).CurVer = 100;
  update::RunStateAccess::Record(*engine).NewVer = 130;
  if (c.event == ev::kStartWinCe)
    update::RunStateAccess::Record(*engine).CurVer = 130;  // only the clock is sent
  update::RunStateAccess::Record(*engine).ThirdFile = c.third;
  view.okEnabled = false;  // a run is under way
  const uint32_t start = windows.TickCount();
  events.queue.PostEvent(c.event);
  events.pump.PumpEvents();

  ASSERT_TRUE(RunUntil([&] { return view.okEnabled; }, 60000));
  EXPECT_LE(windows.TickCount() - start,
            update::UpdateEngine::kGreetingTimeoutMs + 15000);  // 12 s before the clock
  ASSERT_EQ(view.boxes.size(), 1u);
  const std::string text = update::ExpandMessage(messages::Text(c.message, language), language,
                                                 engine->Record(), Run().ActiveComIndex);
  EXPECT_EQ(view.boxes[0].text, text);
  EXPECT_TRUE(Run().Failed);
  EXPECT_TRUE(NoTimerClaimed(events));
  EXPECT_EQ(view.finished, 0);
  EXPECT_EQ(counting.terminals, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, SilentInstrument,
    ::testing::Combine(
        ::testing::Values(
            SilentCase{"BootLoaderSwitch", 0, 1, SequenceStep::kThirdFile, ev::kVersionCheckMain,
                       "", messages::MSG_NO_BOOT_SWITCH_ANSWER},
            SilentCase{"BootLoaderSwitchKind3", 3, 1, SequenceStep::kThirdFile,
                       ev::kVersionCheckKind3, "", messages::MSG_NO_BOOT_SWITCH_ANSWER},
            SilentCase{"AfterTheLoaderProgramKind3", 3, 1, SequenceStep::kSecondaryDecision,
                       ev::kExternalLoaderDone, "", messages::MSG_NO_GREETING},
            SilentCase{"AfterTheLoaderProgramStartMode1", 0, 1, SequenceStep::kSecondaryDecision,
                       ev::kExternalLoaderDone, "", messages::MSG_NO_GREETING},
            SilentCase{"ClockAfterTheLoaderProgram", 0, 0, SequenceStep::kSecondaryDecision,
                       ev::kExternalLoaderDone, "", messages::MSG_NO_GREETING},
            SilentCase{"ClockAfterTheWinCeTransfer", 2, 1, SequenceStep::kSecondaryAfterMain,
                       ev::kStartWinCe, "", messages::MSG_NO_GREETING},
            SilentCase{"AfterTheThirdFilesProgram", 0, 1, SequenceStep::kThirdFile, ev::kPrompt,
                       "third.exe", messages::MSG_NO_GREETING}),
        ::testing::Values(0, 1)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) +
             (std::get<1>(info.param) == 0 ? "German" : "English");
    });

// The answers of the identification doubled one by one: each command goes out once and the run
// reaches the programming of the instrument it identified.
TEST_F(EngineFixture, RepeatedIdentificationAnswerCountsOnce) {
  // Lines the instrument hears: 1 the probe A.1000, 2 A.2003, 3 A.2000, 4 A.2001, 5 A.4001.
  for (int unit = 2; unit <= 5; ++unit) {
    SCOPED_TRACE(unit);
    paths = RecordingPaths{};
    simPorts.clear();
    Start(std::string(kMeter) + "[faults]\nduplicate = " + std::to_string(unit) + "\n");
    PressOk();
    ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));
    RunUntil([] { return false; }, 1000);
    EXPECT_EQ(Commands(),
              (std::vector<std::string>{"A.1000", "A.2003", "A.2000", "A.2001", "A.4001"}));
    EXPECT_EQ(paths.msp430.size(), 1u);
    EXPECT_EQ(engine->Record().SwVersion, std::string("1.20"));
  }
}

// After the success, nothing the run queued or started goes on: a prompt that arrives twice
// after the clock command starts no Basic-Loader terminal, and the wait for a greeting that
// the programming began ends with the run.
TEST_F(EngineFixture, NothingOfAnEndedRunLivesOn) {
  CountingPaths counting;
  devices.DeviceKind = package::DeviceKindId::kHexLoad;
  devices.StartMode = devices.SavedStartMode = package::StartVariant::kOpenDialogue;
  Start("");
  engine->SetPaths(&counting);
  Run().ActivePort = 0;
  Run().Identified = true;
  Run().UpdateStep = SequenceStep::kSecondaryDecision;
  events.queue.PostEvent(ev::kExternalLoaderDone);
  events.pump.PumpEvents();
  ASSERT_TRUE(
      RunUntil([&] { return simPorts[0]->Written().find("A.1600#") != std::string::npos; }));
  events.queue.PostEvent(ev::kPrompt);
  events.queue.PostEvent(ev::kPrompt);
  events.pump.PumpEvents();
  ASSERT_TRUE(RunUntil([&] { return view.finished > 0; }));
  RunUntil([] { return false; }, 40000);
  EXPECT_EQ(counting.terminals, 0);
  EXPECT_TRUE(view.LogHas("erfolgreich"));
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_TRUE(NoTimerClaimed(events));
}

TEST_F(EngineFixture, SuccessEndsTheWaitForTheGreeting) {
  Start(kMeter);
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));
  // The run ends without the greeting (the secondary decision finds nothing left to do).
  events.queue.PostEvent(ev::kSecondaryDecision);
  events.pump.PumpEvents();
  ASSERT_TRUE(RunUntil([&] { return view.finished > 0; }));
  RunUntil([] { return false; }, 40000);
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_FALSE(view.LogHas("nicht zurückgemeldet"));
  EXPECT_TRUE(NoTimerClaimed(events));
}

// A programming failure before the instrument was identified: OK searches anew instead of
// taking up the programming path of an instrument nobody knows.
TEST_F(EngineFixture, OkAfterAFailureBeforeTheIdentificationSearchesAnew) {
  CountingPaths counting;
  devices.DeviceKind = package::DeviceKindId::kWinCe;
  Start(kMeter);
  engine->SetPaths(&counting);
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return Sent("A.2003"); }));
  engine->ProgrammingFailed(ev::kProgrammingFailed);
  events.pump.PumpEvents();
  ASSERT_TRUE(view.okEnabled);
  const size_t heard = Commands().size();
  PressOk();
  RunUntil([] { return false; }, 10000);
  EXPECT_EQ(counting.winCe, 0);
  ASSERT_GT(Commands().size(), heard);
  EXPECT_EQ(Commands()[heard], "A.1000");  // the search's probe
}

}  // namespace
}  // namespace test
