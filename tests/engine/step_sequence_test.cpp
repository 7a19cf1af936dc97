// What one prompt of the instrument does in each step of the update sequence, and where it
// leaves the run: the commands it sends, the paths it starts and the step that follows.
#include "tests/engine/engine_fixture.h"
#include "update/event_codes.h"

namespace test {
namespace {

using update::SequenceStep;

// Records the external loaders and the terminal the sequence starts; the loaders succeed.
struct StepPaths : RecordingPaths {
  std::vector<std::string> externalFiles;
  int terminals = 0;
  update::LoaderResult RunExternalLoader(update::RunHost&, const std::string& file) override {
    externalFiles.push_back(file);
    return update::LoaderResult::Programmed();
  }
  void StartTerminal(update::RunHost&) override { ++terminals; }
};

struct PromptCase {
  const char* name;
  SequenceStep step;
  bool identFailed;
  std::string thirdFile;
  std::string sent;                        // a command the prompt leads to ("": none)
  std::vector<std::string> externalFiles;  // the external loaders started, in order
  int terminals;
  SequenceStep next;
};

void PrintTo(const PromptCase& c, std::ostream* os) {
  *os << c.name;
}

class PromptInStep : public EngineFixture, public ::testing::WithParamInterface<PromptCase> {};

TEST_P(PromptInStep, SendsStartsAndMovesOnAsTheSequenceSays) {
  const PromptCase& c = GetParam();
  Start("");
  StepPaths stepPaths;
  engine->SetPaths(&stepPaths);
  Run().ActivePort = 0;
  Run().UpdateStep = c.step;
  Run().IdentFailed = c.identFailed;
  update::RunStateAccess::Record(*engine).MainFile = "main.hex";
  update::RunStateAccess::Record(*engine).ThirdFile = c.thirdFile;
  update::RunStateAccess::Record(*engine).CurVer =
      100;  // the main firmware is older than the offered one
  update::RunStateAccess::Record(*engine).NewVer = 200;
  Run().PromptAwaited = true;  // the step's command has gone out

  events.queue.PostEvent(update::ev::kPrompt);
  events.pump.PumpEvents();

  const std::string written = simPorts[0]->Written();
  if (c.sent.empty()) {
    EXPECT_EQ(written, "");
  } else {
    EXPECT_EQ(written, c.sent);
  }
  EXPECT_EQ(stepPaths.externalFiles, c.externalFiles);
  EXPECT_EQ(stepPaths.terminals, c.terminals);
  EXPECT_EQ(engine->State().UpdateStep, c.next);
  EXPECT_FALSE(engine->State().Failed);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, PromptInStep,
    ::testing::Values(
        PromptCase{"OpensTheDialogue",
                   SequenceStep::kOpenDialogue,
                   false,
                   "",
                   "A.1000\r\n",
                   {},
                   0,
                   SequenceStep::kIdentify},
        PromptCase{"SendsTheFirstIdentCommand",
                   SequenceStep::kIdentify,
                   false,
                   "",
                   "A.2003\r\n",
                   {},
                   0,
                   SequenceStep::kThirdFile},
        PromptCase{"RunsTheThirdFile",
                   SequenceStep::kThirdFile,
                   false,
                   "boot.hex",
                   "",
                   {"boot.hex"},
                   0,
                   SequenceStep::kBootLoaderPath},
        // Without a third file the same prompt goes on to the main file's external loader.
        PromptCase{"WithoutAThirdFileRunsTheMainFile",
                   SequenceStep::kThirdFile,
                   false,
                   "",
                   "",
                   {"main.hex"},
                   0,
                   SequenceStep::kSecondaryDecision},
        PromptCase{"SwitchesToTheBootLoader",
                   SequenceStep::kBootLoaderPath,
                   false,
                   "",
                   "A.1200\r\n",
                   {},
                   0,
                   SequenceStep::kExternalLoader},
        PromptCase{"RunsTheMainFile",
                   SequenceStep::kExternalLoader,
                   false,
                   "",
                   "",
                   {"main.hex"},
                   0,
                   SequenceStep::kSecondaryDecision},
        PromptCase{"StartsTheTerminal",
                   SequenceStep::kTerminal,
                   false,
                   "",
                   "",
                   {},
                   1,
                   SequenceStep::kSecondaryAfterMain},
        // A failed identification starts nothing, but each prompt still moves the step on.
        PromptCase{"AfterAFailedIdentificationOnlyMovesOn",
                   SequenceStep::kThirdFile,
                   true,
                   "boot.hex",
                   "",
                   {},
                   0,
                   SequenceStep::kBootLoaderPath},
        PromptCase{"AfterAFailedIdentificationStartsNoTerminal",
                   SequenceStep::kTerminal,
                   true,
                   "",
                   "",
                   {},
                   0,
                   SequenceStep::kSecondaryAfterMain},
        PromptCase{"StillIdentifiesAfterAFailedIdentification",
                   SequenceStep::kIdentify,
                   true,
                   "",
                   "A.2003\r\n",
                   {},
                   0,
                   SequenceStep::kThirdFile},
        PromptCase{"LeavesAnEndedRunWhereItIs",
                   SequenceStep::kEnded,
                   false,
                   "",
                   "",
                   {},
                   0,
                   SequenceStep::kEnded}),
    [](const ::testing::TestParamInfo<PromptCase>& info) { return std::string(info.param.name); });

// The secondary decision a prompt asks for in both of its steps: with nothing left to program
// the run ends with the success message, and ended: the prompt that answers the end command
// moves no step (from the terminal's step it would start the Basic-Loader terminal).
struct SecondaryCase {
  SequenceStep step;
  SequenceStep next;
};

void PrintTo(const SecondaryCase& c, std::ostream* os) {
  update::PrintTo(c.step, os);
}

class PromptInSecondaryStep : public EngineFixture,
                              public ::testing::WithParamInterface<SecondaryCase> {};

TEST_P(PromptInSecondaryStep, EndsARunWithNothingLeftToProgram) {
  Start("");
  Run().ActivePort = 0;
  Run().UpdateStep = GetParam().step;
  Run().PromptAwaited = true;
  events.queue.PostEvent(update::ev::kPrompt);
  events.pump.PumpEvents();
  ASSERT_TRUE(RunUntil([&] { return view.finished > 0; }, 10000));
  EXPECT_TRUE(view.LogHas("erfolgreich"));
  EXPECT_EQ(engine->State().UpdateStep, GetParam().next);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, PromptInSecondaryStep,
    ::testing::Values(SecondaryCase{SequenceStep::kSecondaryDecision, SequenceStep::kEnded},
                      SecondaryCase{SequenceStep::kSecondaryAfterMain, SequenceStep::kEnded}));

}  // namespace
}  // namespace test
