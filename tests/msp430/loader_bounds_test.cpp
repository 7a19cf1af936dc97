// Runs through the MSP430 path that must end as failures in bounded time, however the
// instrument behaves: a refusal and a prompt in one read, an entry dialogue that never ends, a
// boot loader drowned in noise, and new firmware that never greets.
#include <gtest/gtest.h>

#include "loaders/msp430/loader_run.h"
#include "tests/msp430/loader_rig.h"
#include "update/display.h"

namespace msp430_test {
namespace {

struct BoundCase {
  const char* name;
  std::string profile;
  bool f5xx;
  messages::MessageId message;
  bool abortText;  // the package's abort text follows (a failed programming)
  uint32_t limitMs;
};

void PrintTo(const BoundCase& c, std::ostream* os) {
  *os << c.name;
}

class BoundedRun : public LoaderRig, public ::testing::WithParamInterface<BoundCase> {};

const std::vector<Section> kClassicImage = {{0x1100, Pattern(300, 4)}, VectorTable(0xFFE0, 0x1100)};
const std::vector<Section> kF5xxImage = {{0x5C00, Pattern(300, 5)}, VectorTable(0xFF80, 0x5C00)};

TEST_P(BoundedRun, EndsAsAFailureInBoundedTime) {
  const BoundCase& c = GetParam();
  Start(c.profile);
  WriteImage("image.txt", c.f5xx ? kF5xxImage : kClassicImage);
  Identified("image.txt", c.f5xx ? msp430::kProcessorF5xx : 0x149);
  Run().UpdateStep = update::SequenceStep::kSecondaryAfterMain;
  view.okEnabled = false;  // as during a run

  // A run without an end would keep the loader's wait going for ever: at the limit the user
  // gives up with Escape, which the test counts as a failure.
  bool gaveUp = false;
  const std::unique_ptr<core::WindowTimer> watchdog = windows.CreateTimer();
  watchdog->SetHandler([&](core::WindowTimer& timer) {
    timer.SetEnabled(false);
    gaveUp = true;
    events.queue.PostKey(core::KEY_ESCAPE);
  });
  watchdog->SetInterval(c.limitMs);
  watchdog->SetEnabled(true);

  events.queue.PostEvent(update::ev::kProgramMsp430);
  events.pump.PumpEvents();
  ASSERT_TRUE(RunUntil([this] { return view.okEnabled && !view.boxes.empty(); }, c.limitMs));
  ASSERT_FALSE(gaveUp) << "no end within " << c.limitMs << " ms";
  watchdog->SetEnabled(false);
  RunUntil([] { return false; }, 5000);  // whatever the instrument still sends

  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_EQ(view.boxes[0].text, update::ExpandMessage(messages::Text(c.message, 0), 0,
                                                      engine->Record(), kComNumber - 1));
  EXPECT_EQ(view.LogHas("Abbruch"), c.abortText);
  EXPECT_EQ(view.finished, 0);
  EXPECT_FALSE(view.LogHas("erfolgreich"));
  EXPECT_TRUE(engine->State().Failed);
  ExpectCleanEnd();
}

const std::string kClassic = "[identity]\nversion = 1.20\n[bootloader]\ntarget = classic\n";
const std::string kF5xx = "[identity]\nversion = 1.20\n[bootloader]\ntarget = f5xx\n";
const std::string kSilentBootLoader = "[bootloader_faults]\nsilent = 1,2,3,4,5,6,7,8,9,10\n";

INSTANTIATE_TEST_SUITE_P(
    Faults, BoundedRun,
    ::testing::Values(
        BoundCase{"RefusalAndPromptInOneRead", kClassic + "[replies]\nA.5577 = ?+prompt\n", false,
                  messages::MSG_BOOTLOADER_MISSING, true, 30000},
        BoundCase{"AlternativeCommandAnsweredWithAPrompt",
                  kClassic + "[replies]\nA.5577 = prompt\n", false, messages::MSG_ENTRY_REFUSED,
                  true, 30000},
        BoundCase{"EntryCommandAnsweredWithAPrompt", kClassic + "[replies]\nA.5588 = prompt\n",
                  false, messages::MSG_ENTRY_REFUSED, true, 30000},
        BoundCase{"ClassicNoiseInBootLoader",
                  kClassic + "noise_every_ms = 1000\n" + kSilentBootLoader, false,
                  messages::MSG_LINE_NOISE, true, 60000},
        BoundCase{"F5xxNoiseInBootLoader", kF5xx + "noise_every_ms = 1000\n" + kSilentBootLoader,
                  true, messages::MSG_LINE_NOISE, true, 60000},
        // A boot loader that never answers is the time-outs' business: each attempt starts the
        // deadline afresh.
        BoundCase{"SilentBootLoader", kClassic + "start_ms = 60000\n", false,
                  messages::MSG_BOOTLOADER_ERROR, true, 60000},
        BoundCase{"NoGreetingAfterProgramming", kClassic + "[protocol]\nafter_program = none\n",
                  false, messages::MSG_NO_GREETING, false, 120000}),
    [](const ::testing::TestParamInfo<BoundCase>& info) { return info.param.name; });

// Bytes that are no answer (noise on the line) keep no entry dialogue alive: without a
// recognised answer the dialogue ends after its time-out.
TEST_F(LoaderRig, NoiseDuringTheEntryDialogueDoesNotKeepItAlive) {
  Start(kClassic + "[replies]\nA.1000 = none\n");
  WriteImage("image.txt", kClassicImage);
  Identified("image.txt", 0x149);
  Run().UpdateStep = update::SequenceStep::kSecondaryAfterMain;
  view.okEnabled = false;
  const std::unique_ptr<core::WindowTimer> noise = windows.CreateTimer();
  noise->SetHandler([&](core::WindowTimer&) {
    events.queue.PostEvent(update::ev::kReceived, core::PortNumber{kComNumber});
  });
  noise->SetInterval(500);
  noise->SetEnabled(true);
  bool gaveUp = false;
  const std::unique_ptr<core::WindowTimer> watchdog = windows.CreateTimer();
  watchdog->SetHandler([&](core::WindowTimer& timer) {
    timer.SetEnabled(false);
    gaveUp = true;
    events.queue.PostKey(core::KEY_ESCAPE);
  });
  watchdog->SetInterval(60000);
  watchdog->SetEnabled(true);

  events.queue.PostEvent(update::ev::kProgramMsp430);
  events.pump.PumpEvents();
  ASSERT_TRUE(RunUntil([this] { return view.okEnabled && !view.boxes.empty(); }, 60000));
  noise->SetEnabled(false);
  watchdog->SetEnabled(false);
  EXPECT_FALSE(gaveUp) << "the dialogue lived on the noise";
  EXPECT_TRUE(engine->State().Failed);
  EXPECT_FALSE(view.LogHas("erfolgreich"));
}

}  // namespace
}  // namespace msp430_test
