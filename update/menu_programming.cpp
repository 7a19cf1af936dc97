// Programming an instrument straight from its boot loader, without the identification dialogue:
// from the programming menu (menu-selectable family, through the external loader of DeviceKind)
// and from the bench entry (bench family, through the MSP430 loaders), and when the port search
// meets such an instrument waiting in its boot loader.
#include "core/event_codes.h"
#include "package/messages.h"
#include "update/display.h"
#include "update/engine.h"
#include "update/event_codes.h"
#include "update/programming_flows.h"

namespace update {
namespace {

// The processor type of the instruments whose boot loader is the F5xx one.
// The bench family's answer byte from an F5xx boot loader.
constexpr uint8_t kF5xxAnswer = 'Q';
// With more than one device row the menu does not know which instrument it programs.
constexpr char kGenericName[] = "Device";

std::string Message(messages::MessageId id, int32_t language) {
  return std::string(messages::Text(id, language));
}

bool IsGreeting(int32_t code) {
  return code == ev::kPrompt || code == ev::kAnswerProgrammedClock ||
         code == ev::kAnswerProgrammedEnd;
}

}  // namespace

MenuProgramming::~MenuProgramming() {
  End();
}

MenuProgramming::MenuProgramming(UpdateEngine& engine)
    : engine_(engine),
      life_(engine.Events(), core::MakeHandler<&MenuProgramming::MenuProgrammingHandler>(this)) {}

bool MenuProgramming::Active() {
  return life_.Attached();
}

void MenuProgramming::End() {
  life_.Detach();
  greetingTimer_ = life_.StopTimer(greetingTimer_);
  phase_ = Phase::kIdle;
}

bool MenuProgramming::Preset(int32_t row) {
  engine_.BeginBootLoaderProgramming();
  const auto& table = engine_.Devices().DeviceTable;
  if (row < 0 || static_cast<size_t>(row) >= table.size()) {
    engine_.RunFailed(messages::MSG_WRONG_DEVICE);
    return false;
  }
  if (!engine_.UseFirstPortIfNone()) {
    engine_.RunFailed(messages::MSG_NO_DEVICE);
    return false;
  }
  const package::DeviceEntry& entry = table[static_cast<size_t>(row)];
  engine_.PresetInstrument(entry);
  if (engine_.IdentifyDevice()) return true;
  // Refused (wrong files, or the user declined): OK is free for a new run.
  ClearDeviceTexts(engine_.View());
  engine_.View().SetOkEnabled(true);
  return false;
}

void MenuProgramming::TG480eProgrammingClick(int32_t tag) {
  // A boot loader that answers the search more than once is programmed once.
  if (Active() || !Preset(tag)) return;
  core::EventCore& events = engine_.Events();
  events.queue.PostEvent(ev::kMenuPrompt);
  phase_ = Phase::kMenu;
  life_.Attach();
  if (engine_.Devices().DeviceEntryCount() > 1) {
    engine_.NameInstrument(kGenericName);
    engine_.View().SetDeviceField(DeviceField::Name, kGenericName);
    engine_.View().SetDeviceField(DeviceField::Pcb, "");
  }
  events.pump.PumpEvents();
}

void MenuProgramming::BenchXXXClick(int32_t tag) {
  const int32_t row = engine_.State().BenchAnswerChar == kF5xxAnswer ? 1 : tag;
  if (Active() || !Preset(row)) return;
  core::EventCore& events = engine_.Events();
  engine_.EnterBenchMode();
  events.queue.PostEvent(ev::kBenchProgramming);
  phase_ = Phase::kBench;
  life_.Attach();
  if (engine_.Devices().DeviceEntryCount() > 1) {
    engine_.NameInstrument(kGenericName);
    engine_.View().SetDeviceField(DeviceField::Name, kGenericName);
    engine_.View().SetDeviceField(DeviceField::Pcb, "");
  }
  events.pump.PumpEvents();
}

void MenuProgramming::ProgramMenuFamily() {
  UpdateView& view = engine_.View();
  const int32_t language = engine_.Language();
  engine_.Append(Message(messages::MSG_PROGRAMMING, language));
  view.SetOkEnabled(false);
  phase_ = Phase::kLoading;
  const LoaderResult result =
      engine_.Paths().RunExternalLoader(engine_, engine_.Record().ProgDefFile);
  phase_ = Phase::kMenu;
  if (!result.programmed) {
    engine_.ProgrammingFailed(ev::kProgrammingFailed);
    return;
  }
  engine_.Append(Message(messages::MSG_STORING, language));
  view.SetSecTimerRunning(true);
  view.SetProgress(1);
  engine_.Events().wait.DelayTime(kStoreMs, true);
  // The instrument greeted during the wait: the new run has begun already.
  if (phase_ != Phase::kMenu) return;
  view.ClearLog();
  engine_.MarkExternalPending();
  End();
  engine_.Events().queue.PostKey(core::KEY_OK);
}

void MenuProgramming::ProgramBenchFamily() {
  engine_.View().SetOkEnabled(false);
  const DownloadContext& context = engine_.Record();
  // An F5xx boot loader answers the wake-up with "Q": its loader is needed, whatever the row
  // says.
  engine_.ChooseBenchImage(
      engine_.State().BenchAnswerChar == kF5xxAnswer && engine_.State().BootLoaderSeen,
      FileNamed(context.ProgDefFile) ? context.ProgDefFile : kBenchFile);
  const Msp430Call call{Msp430Job::kMain, engine_.State().BslMode, context.MainFile,
                        /*syncFirst=*/false, /*altEntry=*/false};
  phase_ = Phase::kLoading;
  const bool programmed = engine_.NoteLoaderResult(engine_.Paths().RunMsp430(engine_, call));
  phase_ = Phase::kBench;
  if (!programmed) {
    // The handler stays for the retry, which programs the bench instrument the same way.
    engine_.ProgrammingFailed(ev::kProgrammingFailed);
    return;
  }
  engine_.Append(Message(messages::MSG_STORING, engine_.Language()));
  engine_.View().SetProgress(1);
  // The new firmware talks at the bench family's normal line.
  if (serial::TComPort* port = engine_.ActiveComPort())
    port->ChangeV24Parameter(serial::B__4800, serial::S_2, serial::NoParity, true);
  phase_ = Phase::kGreeting;
  greetingTimer_ = life_.StopTimer(greetingTimer_);
  greetingTimer_ = life_.StartTimer(UpdateEngine::kGreetingTimeoutMs);
  engine_.Events().wait.DelayTime(kBenchSettleMs, true);
}

void MenuProgramming::OnGreeting() {
  End();
  // The answer to the end command that FinishRun sends must not open a dialogue.
  engine_.EndSteps();
  engine_.FinishRun(false);
}

void MenuProgramming::OnNoGreeting() {
  End();
  engine_.RunFailed(messages::MSG_NO_GREETING);
}

core::EventRecord MenuProgramming::MenuProgrammingHandler(core::EventQueue&,
                                                          core::EventRecord record) {
  if (record.kind == core::EVK_TIMER && greetingTimer_ != 0 && record.code == greetingTimer_) {
    OnNoGreeting();
    return core::ConsumedEvent;
  }
  if (record.kind != core::EVK_EVENT) return record;
  const int32_t code = record.code;
  if (code == ev::kAnswer920) return core::ConsumedEvent;
  if (IsGreeting(code)) {
    if (phase_ == Phase::kGreeting) {
      OnGreeting();
    } else if (phase_ != Phase::kLoading && !engine_.State().Failed) {
      // The instrument talks in its normal mode: a normal run takes it from here.
      End();
      engine_.Events().queue.PostKey(core::KEY_OK);
      engine_.View().ClearLog();
    }
    // While a loader runs, and after a failure, the instrument's words change nothing.
    return core::ConsumedEvent;
  }
  // The programming, and its retry: whatever the retry event of the DeviceKind, it programs the
  // instrument in its boot loader the same way again.
  const bool retry =
      code == ev::kMenuPrompt || code == ev::kRepeatMsp430 || code == ev::kStartWinCe;
  if (phase_ == Phase::kMenu && retry) {
    ProgramMenuFamily();
    return core::ConsumedEvent;
  }
  if (phase_ == Phase::kBench && (retry || code == ev::kBenchProgramming)) {
    ProgramBenchFamily();
    return core::ConsumedEvent;
  }
  return record;
}

}  // namespace update
