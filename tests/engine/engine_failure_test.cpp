// How a run ends when its programming fails or the instrument does not come back: a failure
// stays a failure whatever arrives later, and no wait of the run is without an end.
#include "core/event_codes.h"
#include "package/messages.h"
#include "tests/engine/engine_fixture.h"
#include "update/display.h"
#include "update/event_codes.h"

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

// Answers that would carry a run on, arriving after its programming has failed (the abort text
// asks the user to switch the instrument off and on, so a new greeting is likely).
class LateAnswer : public EngineFixture, public ::testing::WithParamInterface<int32_t> {};

TEST_P(LateAnswer, NeitherFinishesAFailedRunNorSendsAnything) {
  paths.result = 0;
  Start(kMeter);
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return view.okEnabled; }));
  ASSERT_TRUE(view.LogHas("Abbruch"));
  const size_t heard = Commands().size();

  events.queue.PostEvent(GetParam(), std::string());
  events.pump.PumpEvents();
  RunUntil([] { return false; }, 10000);

  EXPECT_EQ(view.finished, 0);
  EXPECT_FALSE(view.LogHas("erfolgreich"));
  EXPECT_EQ(Commands().size(), heard);
  EXPECT_TRUE(simPorts[0]->Opened());
  EXPECT_TRUE(NoTimerClaimed(events));

  // OK starts a new run.
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return paths.msp430.size() == 2; }));
}

INSTANTIATE_TEST_SUITE_P(Failure, LateAnswer,
                         ::testing::Values(ev::kPrompt, ev::kMenuPrompt, ev::kAnswerProgrammedEnd,
                                           ev::kAnswerProgrammedClock, ev::kSecondaryDecision));

TEST_F(EngineFixture, RetryTakesUpAFailedRun) {
  paths.result = 0;
  Start(kMeter);
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return view.okEnabled; }));

  paths.result = 1;
  events.queue.PostEvent(ev::kRepeatMsp430);
  events.pump.PumpEvents();
  ASSERT_EQ(paths.msp430.size(), 2u);
  EXPECT_EQ(paths.msp430[1].job, update::Msp430Job::kRepeat);
  events.queue.PostEvent(ev::kPrompt);  // the new firmware's greeting
  events.pump.PumpEvents();
  ASSERT_TRUE(RunUntil([&] { return view.finished > 0; }));
  EXPECT_TRUE(view.LogHas("erfolgreich"));
}

// A loader whose instrument sends its prompt while the loader is ending (the "!" that came in
// one read with the "?" the loader failed on, or the new firmware's early greeting).
struct PromptWhileLoading : RecordingPaths {
  core::EventCore* events = nullptr;
  update::LoaderResult RunMsp430(update::RunHost& run, const update::Msp430Call& call) override {
    events->queue.PostEvent(ev::kPrompt);
    events->pump.PumpEvents();
    return RecordingPaths::RunMsp430(run, call);
  }
};

TEST_F(EngineFixture, PromptDuringTheLoaderCountsOnlyWhenTheLoaderSucceeded) {
  const struct {
    int32_t result;
    bool success;
  } cases[] = {{0, false}, {1, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    PromptWhileLoading loading;
    loading.events = &events;
    loading.result = c.result;
    Start(kMeter);
    engine->SetPaths(&loading);
    view = RecordingView{};
    PressOk();
    ASSERT_TRUE(RunUntil([&] { return view.okEnabled || view.finished > 0; }));
    RunUntil([] { return false; }, 5000);
    EXPECT_EQ(view.finished, c.success ? 1 : 0);
    EXPECT_EQ(view.LogHas("erfolgreich"), c.success);
    EXPECT_EQ(view.LogHas("Abbruch"), !c.success);
    EXPECT_TRUE(NoTimerClaimed(events));
    engine.reset();
    simPorts.clear();
  }
}

TEST_F(EngineFixture, InstrumentThatNeverGreetsAfterProgrammingEndsTheRunAsAFailure) {
  Start(kMeter);
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));
  const uint32_t programmed = windows.TickCount();

  ASSERT_TRUE(RunUntil([&] { return view.okEnabled; }, 60000));

  const uint32_t waited = windows.TickCount() - programmed;
  EXPECT_GE(waited, update::UpdateEngine::kGreetingTimeoutMs);
  EXPECT_LE(waited, update::UpdateEngine::kGreetingTimeoutMs + 1000);
  const std::string why =
      update::ExpandMessage(messages::Text(messages::MSG_NO_GREETING, 0), 0, engine->Record(), 0);
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_EQ(view.boxes[0].text, why);
  EXPECT_TRUE(view.LogHas(why));
  EXPECT_EQ(view.finished, 0);
  EXPECT_FALSE(view.LogHas("erfolgreich"));
  EXPECT_TRUE(NoTimerClaimed(events));
  // A late greeting does not revive the run.
  events.queue.PostEvent(ev::kPrompt);
  events.pump.PumpEvents();
  RunUntil([] { return false; }, 5000);
  EXPECT_EQ(view.finished, 0);
}

// After the secondary processor's programming the step sequence has nothing left to do with a
// prompt: only the instrument's "programmed" answer ends the run, and the wait for it is bounded.
TEST_F(EngineFixture, PromptAfterTheSecondaryProgrammingDoesNotEndTheWaitForItsAnswer) {
  Start(kMeter);
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));
  update::RunStateAccess::Record(*engine).SecondFile = "sensor.txt";
  update::RunStateAccess::Record(*engine).CurVer2 = 100;
  update::RunStateAccess::Record(*engine).NewVer2 = 110;
  // As the prompt that asked for the secondary decision leaves it.
  Run().UpdateStep = update::SequenceStep::kEnded;
  events.queue.PostEvent(ev::kSecondaryDecision);
  events.pump.PumpEvents();
  ASSERT_TRUE(RunUntil([&] { return paths.msp430.size() == 2; }));
  events.queue.PostEvent(ev::kPrompt);
  events.pump.PumpEvents();

  ASSERT_TRUE(RunUntil([&] { return view.okEnabled; }, 60000));
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_EQ(view.boxes[0].text, update::ExpandMessage(messages::Text(messages::MSG_NO_GREETING, 0),
                                                      0, engine->Record(), 0));
  EXPECT_EQ(view.finished, 0);
  EXPECT_TRUE(NoTimerClaimed(events));
}

TEST_F(EngineFixture, GreetingInTimeStopsTheWaitForIt) {
  Start(kMeter);
  PressOk();
  ASSERT_TRUE(RunUntil([&] { return !paths.msp430.empty(); }));
  events.queue.PostEvent(ev::kPrompt);
  events.pump.PumpEvents();
  ASSERT_TRUE(RunUntil([&] { return view.finished > 0; }));
  RunUntil([] { return false; }, update::UpdateEngine::kGreetingTimeoutMs);
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_TRUE(NoTimerClaimed(events));
}

}  // namespace
}  // namespace test
