#include "loaders/msp430/loader_run.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "loaders/msp430/step_advice.h"
#include "update/commands.h"
#include "update/display.h"
#include "update/event_codes.h"

namespace msp430 {
namespace {

namespace ev = update::ev;

// Entry and alternative commands, by bslMode 0..2.
constexpr std::array<const char*, 3> kEntryCommands = {"A.5588#", "A.5566#", "A.5567#"};
constexpr std::array<const char*, 3> kAltCommands = {"A.5577\r\n", "A.5555\r\n", "A.5555\r\n"};
// The line rests after a run before the engine takes it back, and after a prompt before the entry
// command goes out.
constexpr int32_t kSettleAfterRunMs = 1500;
constexpr int32_t kBeforeEntryMs = 1000;
// The error box has no owner window and an English caption in both languages.
constexpr char kErrorCaption[] = "Error";

size_t ModeIndex(int32_t bslMode) {
  return bslMode >= 0 && bslMode < 3 ? static_cast<size_t>(bslMode) : 0;
}

}  // namespace

int32_t HexWord(const std::string& text) {
  return static_cast<int32_t>(std::strtoul(text.c_str(), nullptr, 16) & 0xFFFF);
}

int32_t NormalStepCode(int32_t stepCode) {
  return (stepCode >= step::kSync && stepCode <= step::kMemOffset) ||
                 (stepCode >= step::kRefused && stepCode <= step::kNoise)
             ? stepCode
             : step::kOther;
}

const char* StepName(int32_t stepCode) {
  switch (NormalStepCode(stepCode)) {
    case step::kSync:
      return "msp430 sync";
    case step::kVersion:
      return "msp430 version";
    case step::kBaudRate:
      return "msp430 baud rate";
    case step::kPassword:
      return "msp430 password";
    case step::kErase:
      return "msp430 erase";
    case step::kVectorErase:
      return "msp430 vector erase";
    case step::kWrite:
      return "msp430 write";
    case step::kVerify:
      return "msp430 verify";
    case step::kStart:
      return "msp430 start";
    case step::kPatchRestart:
    case step::kPatchCall:
    case step::kPatchWrite:
    case step::kPatchVerify:
      return "msp430 patch";
    case step::kMemOffset:
      return "msp430 memory offset";
    case step::kRefused:
    case step::kEntryPrompts:
      return "msp430 entry";
    case step::kNoise:
      return "msp430 line noise";
    default:
      return "msp430";
  }
}

messages::MessageId StepMessage(int32_t stepCode) {
  switch (NormalStepCode(stepCode)) {
    case step::kRefused:
      return messages::MSG_BOOTLOADER_MISSING;
    case step::kEntryPrompts:
      return messages::MSG_ENTRY_REFUSED;
    case step::kNoise:
      return messages::MSG_LINE_NOISE;
    default:
      return messages::MSG_BOOTLOADER_ERROR;
  }
}

Msp430Loader::Msp430Loader(const LoaderHost& host)
    : host_(host), run_(host.events, Handler()), LanguageIndex(host.languageIndex) {}

Msp430Loader::~Msp430Loader() = default;

void Msp430Loader::StopTimers() {
  TimerId = run_.StopTimer(TimerId);
  DeadlineTimer = run_.StopTimer(DeadlineTimer);
}

core::EventHandler Msp430Loader::Handler() {
  return core::MakeHandler<&Msp430Loader::OnEvent>(this);
}

update::LoaderResult Msp430Loader::Execute(int32_t bslMode, const std::string& fileName,
                                           bool syncFirst, bool altEntry) {
  // While the loader holds the line, its answers reach it with one wake-up.
  const serial::DirectReceiveScope direct(&host_.port);
  BslMode = bslMode;
  AltEntry = altEntry;
  SyncFirst = syncFirst;
  host_.view.SetProgress(0);
  // An image that cannot be used is refused before the instrument hears anything.
  if (!LoadImage(fileName)) return update::LoaderResult::Failed(ErrorCode);

  run_.Attach();
  line_.emplace(host_.port, loaders::LineGuard::Way::kPortSlot);
  TimerId = run_.StartTimer(kDialogueTimeoutMs);
  Failed = Done = false;
  update::ShowProgress(host_.view, LanguageIndex, "", -1);
  if (host_.context.BenchMode) {
    StartInBootLoader();
  } else {
    SendText(update::cmd::kOpenDialogue);
  }
  run_.WaitUntil([this] { return Done; });

  update::ShowProgress(host_.view, LanguageIndex, "", -1);
  RestoreLine();
  Wait(kSettleAfterRunMs);
  host_.view.SetProgress(0);
  run_.Detach();
  TimerId = DeadlineTimer = 0;
  if (Failed) {
    // The log keeps the failed step and the advice beside the box.
    AppendLog(FailedStepText(StepCode, LanguageIndex));
    ShowError();
  } else if (Greeted) {
    host_.events.queue.PostEvent(ev::kPrompt);
  }
  if (!Failed) return update::LoaderResult::Programmed();
  return update::LoaderResult::Failed(ErrorCode, ErrorCode != 0 ? StepName(ErrorCode) : nullptr);
}

void Msp430Loader::RestoreLine() {
  if (host_.startMode == package::StartVariant::kSensor && !Failed) {
    line_->Keep();
    host_.port.ChangeV24Parameter(serial::B__9600, serial::S_2, serial::NoParity, true);
  } else {
    line_->Restore();
  }
}

core::EventRecord Msp430Loader::OnEvent(core::EventQueue&, core::EventRecord record) {
  // A run that has ended sends nothing more; what still arrives belongs to the engine.
  if (Done) return record;
  switch (record.kind) {
    case core::EVK_KEY:
      if (record.code != core::KEY_ESCAPE) return record;
      Done = Failed = true;
      return core::ConsumedEvent;
    case core::EVK_TIMER:
      return OnTimer(record);
    case core::EVK_EVENT:
      return OnUpdateEvent(record);
    default:
      return record;
  }
}

core::EventRecord Msp430Loader::OnTimer(core::EventRecord record) {
  if (DeadlineTimer != 0 && record.code == DeadlineTimer) {
    StepCode = step::kNoise;  // bytes kept the step alive, but none was an answer
    FailRun();
    return core::ConsumedEvent;
  }
  if (TimerId == 0 || record.code != TimerId) return record;
  if (InBootLoader) {
    run_.RestartTimer(DeadlineTimer);
    HandleTimeout();
  } else {
    Done = Failed = true;  // the instrument's dialogue fell silent
  }
  return core::ConsumedEvent;
}

core::EventRecord Msp430Loader::OnUpdateEvent(core::EventRecord record) {
  switch (record.code) {
    case ev::kReceived:
      // The reply parser reads the dialogue's answers; only an answer it recognises keeps the
      // dialogue alive, so noise on the line cannot.
      if (!InBootLoader) return record;
      ProcessReceived();
      if (!Done) run_.RestartTimer(TimerId);
      return core::ConsumedEvent;
    case ev::kAnswerPassword:
    case ev::kAnswerPasswordB:
      DialogueAnswered();
      SetPasswordText(record.Text());
      return core::ConsumedEvent;
    case ev::kPrompt:
      DialogueAnswered();
      OnPrompt();
      return core::ConsumedEvent;
    case ev::kBootLoaderLine:
      DialogueAnswered();
      if (PasswordIsKnown() && !InBootLoader) EnterBootLoader();
      return core::ConsumedEvent;
    case ev::kNotAvailable:
      Done = Failed = true;
      StepCode = step::kRefused;
      return core::ConsumedEvent;
    default:
      return record;
  }
}

void Msp430Loader::DialogueAnswered() {
  if (!InBootLoader) run_.RestartTimer(TimerId);
}

void Msp430Loader::OnPrompt() {
  if (++EntryPrompts > kMaxEntryPrompts) {
    StepCode = step::kEntryPrompts;
    FailRun();
    return;
  }
  if (host_.context.NoSensorContinue) {
    BslMode = 2;
    OnNoSensorPrompt();
  }
  Wait(kBeforeEntryMs);
  if (AltEntry) {
    SendText(AltCommand());
  } else {
    SetDefaultPassword();
  }
}

bool Msp430Loader::SendText(const std::string& text) {
  host_.port.Write(text.c_str(), -1, false);
  if (host_.logLine) host_.logLine(text);
  return true;
}

void Msp430Loader::ShowError() {
  StepCode = NormalStepCode(StepCode);
  ShowBox(std::string(messages::Text(StepMessage(StepCode), LanguageIndex)));
  ErrorCode = StepCode;
}

void Msp430Loader::ShowBox(const std::string& text) {
  host_.view.ShowMessage(update::BoxIcon::Error, update::BoxButtons::Ok, kErrorCaption, text);
}

void Msp430Loader::SwitchToBootLoader(int32_t restartMs) {
  InBootLoader = true;
  TimerId = run_.StopTimer(TimerId);
  host_.port.ChangeV24Parameter(serial::B__9600, serial::S_1, serial::Even, false);
  host_.port.ChangeHandShake(serial::NoHandshake);
  Wait(restartMs);
  TimerId = run_.StartTimer(kResponseTimeoutMs);
  DeadlineTimer = run_.StartTimer(kStepDeadlineMs);
}

void Msp430Loader::FailRun() {
  StopTimers();
  Done = Failed = true;
}

void Msp430Loader::AdvanceProgress() {
  host_.view.SetProgress(host_.view.Progress() + 1);
  run_.RestartTimer(DeadlineTimer);
}

void Msp430Loader::ShowPercent() {
  const int32_t maximum = host_.view.ProgressMax();
  const double value = maximum > 0 ? 100.0 * host_.view.Progress() / maximum : 0.0;
  update::ShowProgress(host_.view, LanguageIndex, "", value);
}

void Msp430Loader::SetProgressMax(int32_t maximum) {
  ProgressMax = maximum;
  host_.view.SetProgressMax(maximum);
}

void Msp430Loader::Wait(int32_t milliseconds) {
  host_.events.wait.DelayTime(milliseconds, false);
}

void Msp430Loader::AppendLog(const std::string& text) {
  host_.view.AppendLog(text);
}

void Msp430Loader::GreetingHeard(std::span<const uint8_t> bytes) {
  Greeted = true;
  // The line that holds the prompt, printable characters only.
  const auto isEnd = [](uint8_t b) { return b == '\r' || b == '\n'; };
  const auto prompt = std::find(bytes.begin(), bytes.end(), '!');
  auto begin = prompt;
  while (begin != bytes.begin() && !isEnd(*(begin - 1))) --begin;
  std::string line;
  for (auto it = begin; it != bytes.end() && !isEnd(*it); ++it)
    if (*it >= 0x20 && *it < 0x7F) line += static_cast<char>(*it);
  if (host_.logLine) host_.logLine(line + " <-");
}

std::string Msp430Loader::EntryCommand() const {
  return std::string(kEntryCommands[ModeIndex(BslMode)]) + update::cmd::kAccessCode + "\r\n";
}

std::string Msp430Loader::AltCommand() const {
  return kAltCommands[ModeIndex(BslMode)];
}

}  // namespace msp430
