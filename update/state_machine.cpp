// The update sequence as a state machine. Two tables say where a run goes: kRoutes (in RouteOf)
// names the handler of every event the engine takes, and kPromptRows (in AdvanceSteps) what a
// prompt of the instrument does in each step. Every change of the step is made in this file:
//
//   step                 a prompt                              set outright by
//   kOpenDialogue        sends the dialogue opener             OK; losing the instrument's port
//   kIdentify            sends the first ident command         the same with StartMode 1
//   kThirdFile           runs the third file's program, or
//                        without one acts as kExternalLoader
//   kBootLoaderPath      posts kVersionCheckMain
//   kExternalLoader      posts kRunExternalLoader
//   kSecondaryDecision   posts kSecondaryDecision
//   kTerminal            posts kStartTerminal                  a version check that finds the
//                                                              main firmware current
//   kSecondaryAfterMain  posts kSecondaryDecision              kProgramMsp430, kRepeatMsp430,
//                                                              kStartWinCe
//   kEnded               does nothing                          kAnswerProgrammedEnd, the
//                                                              multi-file hand-over, a failure
//
// Each prompt then moves the run to the next step its row names, as kAnswer920 does. After a failed
// identification the rows from kThirdFile on do nothing, but the step still moves on. A failed or
// ended run drops every event that carries a run on until OK or the retry; a greeting that arrives
// while a loader holds the line waits until the loader has returned. An answer counts once, for the
// command it answers, and a prompt only where a command or a greeting awaits it.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>

#include "package/messages.h"
#include "update/commands.h"
#include "update/device_quirks.h"
#include "update/display.h"
#include "update/engine.h"
#include "update/event_codes.h"

namespace update {

namespace {

std::string Message(messages::MessageId id, int32_t language) {
  return std::string(messages::Text(id, language));
}

}  // namespace

// How the engine treats an event besides running its handler.
enum class EventKind : uint8_t {
  kPlain,       // taken in any state of the run
  kCarriesRun,  // carries the run on towards its end: a failed run drops it
  kGreeting,    // as kCarriesRun, and the new firmware's first words after a programming
};

// An answer's identRow: the identification row whose command it answers (it counts only while
// that command is the one due), or any command (it counts once per command sent).
constexpr int32_t kNotAnAnswer = -2;
constexpr int32_t kAnyCommand = -1;
// The rows whose commands the identification answers (CommandIndex while they are due).
constexpr int32_t kFirstIdentAnswerRow = 1;
constexpr int32_t kLastIdentAnswerRow = 4;

struct UpdateEngine::Route {
  int32_t code;
  EventAction action;
  EventKind kind;
  int32_t identRow;
};

const UpdateEngine::Route* UpdateEngine::RouteOf(int32_t code) {
  using K = EventKind;
  static constexpr Route kRoutes[] = {
      {ev::kReceived, &UpdateEngine::OnReceived, K::kPlain, kNotAnAnswer},
      {ev::kAnswerPcb, &UpdateEngine::OnPcbAnswer, K::kCarriesRun, 1},
      {ev::kAnswerPcbB, &UpdateEngine::OnPcbAnswer, K::kCarriesRun, 1},
      {ev::kAnswerPcbC, &UpdateEngine::OnPcbAnswer, K::kCarriesRun, 1},
      {ev::kAnswerDeviceNr, &UpdateEngine::OnDeviceNrAnswer, K::kCarriesRun, 2},
      {ev::kAnswerDeviceNrB, &UpdateEngine::OnDeviceNrAnswer, K::kCarriesRun, 2},
      {ev::kAnswerDeviceNrC, &UpdateEngine::OnDeviceNrAnswer, K::kCarriesRun, 2},
      {ev::kAnswerVersion, &UpdateEngine::OnVersionAnswer, K::kCarriesRun, 3},
      {ev::kAnswerVersionB, &UpdateEngine::OnVersionAnswer, K::kCarriesRun, 3},
      {ev::kAnswerVersionC, &UpdateEngine::OnVersionAnswer, K::kCarriesRun, 3},
      {ev::kAnswerSerial, &UpdateEngine::OnSerialAnswer, K::kCarriesRun, 4},
      {ev::kAnswerSerialB, &UpdateEngine::OnSerialAnswer, K::kCarriesRun, 4},
      {ev::kPrompt, &UpdateEngine::OnPrompt, K::kGreeting, kNotAnAnswer},
      {ev::kMenuPrompt, &UpdateEngine::OnPrompt, K::kGreeting, kNotAnAnswer},
      {ev::kVersionCheckMain, &UpdateEngine::OnVersionCheckMain, K::kCarriesRun, kNotAnAnswer},
      {ev::kVersionCheckKind3, &UpdateEngine::OnVersionCheckKind3, K::kCarriesRun, kNotAnAnswer},
      {ev::kProgramMsp430, &UpdateEngine::OnProgramMsp430, K::kCarriesRun, kNotAnAnswer},
      {ev::kRepeatMsp430, &UpdateEngine::OnRepeatMsp430, K::kPlain, kNotAnAnswer},
      {ev::kStartWinCe, &UpdateEngine::OnWinCe, K::kCarriesRun, kNotAnAnswer},
      {ev::kRunExternalLoader, &UpdateEngine::OnRunExternalLoader, K::kCarriesRun, kNotAnAnswer},
      {ev::kExternalLoaderDone, &UpdateEngine::OnExternalLoaderDone, K::kCarriesRun, kNotAnAnswer},
      {ev::kSecondaryDecision, &UpdateEngine::OnSecondaryDecision, K::kCarriesRun, kNotAnAnswer},
      {ev::kStartTerminal, &UpdateEngine::OnStartTerminal, K::kCarriesRun, kNotAnAnswer},
      {ev::kBootFrame, &UpdateEngine::OnBootFrame, K::kCarriesRun, kNotAnAnswer},
      {ev::kBootByte, &UpdateEngine::OnBootByte, K::kCarriesRun, kNotAnAnswer},
      {ev::kProgrammingFailed, &UpdateEngine::OnProgrammingFailure, K::kPlain, kNotAnAnswer},
      {ev::kSecondaryFailed, &UpdateEngine::OnProgrammingFailure, K::kPlain, kNotAnAnswer},
      {ev::kAnswerProgrammedClock, &UpdateEngine::OnProgrammedClock, K::kGreeting, kAnyCommand},
      {ev::kAnswerProgrammedEnd, &UpdateEngine::OnProgrammedEnd, K::kGreeting, kAnyCommand},
      {ev::kAnswerVariant, &UpdateEngine::OnVariantAnswer, K::kCarriesRun, kAnyCommand},
      {ev::kAnswerNoSecondary, &UpdateEngine::OnNoSecondaryAnswer, K::kPlain, kNotAnAnswer},
      {ev::kAnswer920, &UpdateEngine::OnAnswer920, K::kCarriesRun, kAnyCommand},
  };
  const Route* route = std::find_if(std::begin(kRoutes), std::end(kRoutes),
                                    [code](const Route& r) { return r.code == code; });
  return route == std::end(kRoutes) ? nullptr : route;
}

bool UpdateEngine::HandleEvent(const core::EventRecord& record) {
  const Route* route = RouteOf(record.code);
  if (!route) return false;
  // What still arrives for a failed or ended run is dropped: only OK or the retry go on.
  if ((run_.Failed || run_.Ended) && route->kind != EventKind::kPlain) return true;
  if (route->kind == EventKind::kGreeting) {
    if (HoldGreeting(record.code)) return true;
    if (record.code == ev::kPrompt && !TakePrompt()) return true;
  }
  if (route->identRow != kNotAnAnswer && !TakeAnswer(record.code, route->identRow)) return true;
  if (route->kind == EventKind::kGreeting && EndsGreetingWait(record.code)) StopGreetingTimer();
  (this->*route->action)(record);
  return true;
}

// What a prompt does in each step, and the step it leaves the run in.
struct UpdateEngine::PromptRow {
  SequenceStep step;
  bool needsIdentity;  // skipped after a failed identification
  void (UpdateEngine::*action)();
  int32_t postedEvent;  // posted when there is no action
  SequenceStep next;
};

// The rows are tried in this order against the current step: a row that moves the step hands
// the same prompt on to a later row. The prompt then leaves the run in the next step of the row
// of the step it ended in.
std::span<const UpdateEngine::PromptRow> UpdateEngine::PromptRows() {
  using S = SequenceStep;
  static constexpr PromptRow kPromptRows[] = {
      {S::kOpenDialogue, false, &UpdateEngine::SendOpenDialogue, 0, S::kIdentify},
      {S::kIdentify, false, &UpdateEngine::SendFirstIdentRow, 0, S::kThirdFile},
      {S::kThirdFile, true, &UpdateEngine::RunThirdFile, 0, S::kBootLoaderPath},
      {S::kBootLoaderPath, true, nullptr, ev::kVersionCheckMain, S::kExternalLoader},
      {S::kExternalLoader, true, nullptr, ev::kRunExternalLoader, S::kSecondaryDecision},
      {S::kSecondaryDecision, true, nullptr, ev::kSecondaryDecision, S::kTerminal},
      {S::kTerminal, true, nullptr, ev::kStartTerminal, S::kSecondaryAfterMain},
      {S::kSecondaryAfterMain, true, nullptr, ev::kSecondaryDecision, S::kEnded},
      // Past kEnded there is nothing left for a prompt to do: the run stays there.
      {S::kEnded, true, nullptr, 0, S::kEnded},
  };
  return kPromptRows;
}

void UpdateEngine::AdvanceSteps() {
  const bool identified = !run_.IdentFailed;
  for (const PromptRow& row : PromptRows()) {
    if (run_.UpdateStep != row.step || (row.needsIdentity && !identified)) continue;
    if (row.action) {
      (this->*row.action)();
    } else if (row.postedEvent != 0) {
      events_.queue.PostEvent(row.postedEvent);
    }
  }
  StepOn();
}

void UpdateEngine::MoveTo(SequenceStep step) {
  run_.UpdateStep = step;
}

void UpdateEngine::StepOn() {
  for (const PromptRow& row : PromptRows()) {
    if (row.step == run_.UpdateStep) {
      MoveTo(row.next);
      return;
    }
  }
}

void UpdateEngine::RestartSteps() {
  MoveTo(devices_.StartMode == package::StartVariant::kDirectIdent ? SequenceStep::kIdentify
                                                                   : SequenceStep::kOpenDialogue);
}

void UpdateEngine::RunThirdFile() {
  if (!ThirdFileNamed(record_.ThirdFile)) {
    MoveTo(SequenceStep::kExternalLoader);
    return;
  }
  Append(Message(messages::MSG_PROGRAMMING, Language()));
  if (!paths_->RunExternalLoader(*this, record_.ThirdFile).programmed) {
    ProgrammingFailed(ev::kProgrammingFailed);
  } else {
    run_.ExternalPending = true;
    view_.SetSecTimerRunning(true);
    // The instrument greets once the third file's program has done its work.
    AwaitGreeting();
  }
  Append(Message(messages::MSG_STORING, Language()));
  view_.SetProgress(1);
}

bool UpdateEngine::HoldGreeting(int32_t code) {
  if (!run_.LoaderRunning) return false;
  if (run_.HeldGreeting == 0) run_.HeldGreeting = code;
  return true;
}

bool UpdateEngine::TakePrompt() {
  // While an identification command waits for its numbered answer a prompt answers nothing.
  const bool identAnswerDue =
      run_.CommandIndex >= kFirstIdentAnswerRow && run_.CommandIndex <= kLastIdentAnswerRow;
  // Otherwise in the search the answer time-out bounds every step.
  if (!identAnswerDue && (run_.ResponseTimer != 0 || std::exchange(run_.PromptAwaited, false))) {
    return true;
  }
  LogLine("! ignored: no command awaits a prompt");
  return false;
}

bool UpdateEngine::TakeAnswer(int32_t code, int32_t identRow) {
  auto& taken = run_.AnswersTaken;
  const bool due = identRow == kAnyCommand || identRow == run_.CommandIndex;
  if (due && std::find(taken.begin(), taken.end(), code) == taken.end()) {
    taken.push_back(code);
    return true;
  }
  LogLine("I." + std::to_string(code) + " ignored: it answers no command awaiting it");
  return false;
}

bool UpdateEngine::EndsGreetingWait(int32_t code) const {
  // Past the secondary decision a prompt moves no step: the "programmed" answer is still due.
  const bool prompt = code == ev::kPrompt || code == ev::kMenuPrompt;
  return !(prompt && run_.UpdateStep >= SequenceStep::kEnded);
}

void UpdateEngine::OnPrompt(const core::EventRecord&) {
  AdvanceSteps();
}

void UpdateEngine::OnVersionCheckMain(const core::EventRecord&) {
  OnVersionCheck(VersionCheckStage::kMain);
}

void UpdateEngine::OnVersionCheckKind3(const core::EventRecord&) {
  OnVersionCheck(VersionCheckStage::kLongTransfer);
}

void UpdateEngine::OnVersionCheck(VersionCheckStage stage) {
  view_.SetSecTimerRunning(false);
  view_.SetProgress(0);
  ShowDurationEstimate(view_, Language(), stage, record_, run_.ForceSameVersion);
  if (MainOlder()) {
    Send(stage == VersionCheckStage::kLongTransfer ? std::string(cmd::kBootDefault)
                                                   : run_.BootCommand);
    AwaitGreeting(messages::MSG_NO_BOOT_SWITCH_ANSWER);
  } else {
    MoveTo(SequenceStep::kTerminal);
    events_.queue.PostEvent(ev::kSecondaryDecision);
  }
}

void UpdateEngine::OnProgramMsp430(const core::EventRecord&) {
  MoveTo(SequenceStep::kSecondaryAfterMain);
  ShowDurationEstimate(view_, Language(), VersionCheckStage::kMsp430, record_,
                       run_.ForceSameVersion);
  if (!MainOlder()) {
    events_.queue.PostEvent(ev::kSecondaryDecision);
    return;
  }
  const Msp430Call call{Msp430Job::kMain, run_.BslMode, record_.MainFile, /*syncFirst=*/true,
                        /*altEntry=*/run_.SensorPresent};
  RunLoader(call, ev::kProgrammingFailed);
}

void UpdateEngine::OnRepeatMsp430(const core::EventRecord&) {
  // The retry takes up the failed run again.
  run_.Failed = false;
  view_.SetOkEnabled(false);
  record_.BenchMode = true;
  MoveTo(SequenceStep::kSecondaryAfterMain);
  ShowDurationEstimate(view_, Language(), VersionCheckStage::kMsp430, record_,
                       run_.ForceSameVersion);
  const Msp430Call call{Msp430Job::kRepeat, run_.BslMode, record_.MainFile, /*syncFirst=*/true,
                        /*altEntry=*/false};
  RunLoader(call, ev::kProgrammingFailed);
  if (run_.Failed) return;
  Append(Message(messages::MSG_STORING, Language()));
  view_.SetSecTimerRunning(true);
  view_.SetProgress(1);
}

void UpdateEngine::OnWinCe(const core::EventRecord&) {
  MoveTo(SequenceStep::kSecondaryAfterMain);
  ShowDurationEstimate(view_, Language(), VersionCheckStage::kLongTransfer, record_,
                       run_.ForceSameVersion);
  run_.WinCEDone = true;
  auto& list = record_.DownloadList;
  const size_t first = static_cast<size_t>(std::max(run_.StartupFirst, 0));
  // Only a list that holds the start-up program loses its entries: an instrument that reports
  // a start-up version must not cost a list without one its first file.
  const bool listHoldsStartup =
      first < list.size() && list[first].find(kStartupProgramFile) != std::string::npos;
  if (record_.StartupVer >= record_.OfferedStartupVer && record_.StartupVer > 0 &&
      listHoldsStartup) {
    // The start-up program in the instrument is current: its files are not sent again.
    const size_t last = static_cast<size_t>(std::max(run_.StartupLast, run_.StartupFirst));
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(first),
               list.begin() + static_cast<std::ptrdiff_t>(std::min(last + 1, list.size())));
  }
  if (MainOlder() || record_.StartupVer < record_.OfferedStartupVer) {
    if (!paths_->RunWinCe(*this, record_.MainFile).programmed) {
      ProgrammingFailed(ev::kProgrammingFailed);
      return;
    }
    Append(Message(messages::MSG_STORING, Language()));
    // Back after the main programming, whatever the transfer's own dialogue did to the step.
    MoveTo(SequenceStep::kSecondaryAfterMain);
    list.clear();
  }
  SendClock(false);
}

void UpdateEngine::OnSecondaryDecision(const core::EventRecord&) {
  if (SecondaryOlder() && record_.CurVer2 > 200) {
    StartSecondaryRoute();
    return;
  }
  // Here equal versions never count as older.
  if (run_.Reply262Seen || run_.BootLoaderSeen || run_.VersionPlaceholder ||
      record_.CurVer2 >= record_.NewVer2 || !FileNamed(record_.SecondFile)) {
    if (record_.ListCount() > 0) {
      paths_->StartMultiFile(*this);
      MoveTo(SequenceStep::kEnded);
    } else {
      FinishRun(false);
    }
    return;
  }
  ProgramSecondary();
}

void UpdateEngine::OnProgrammedClock(const core::EventRecord& record) {
  // A sensor instrument's clock answer ends the run as the end answer does.
  if (devices_.StartMode == package::StartVariant::kSensor) {
    OnProgrammedEnd(record);
    return;
  }
  Append(Message(messages::MSG_STORING, Language()));
  events_.wait.DelayTime(1000, false);
  SendClock(true);
}

void UpdateEngine::OnProgrammedEnd(const core::EventRecord&) {
  MoveTo(SequenceStep::kEnded);
  FinishRun(false);
}

void UpdateEngine::OnAnswer920(const core::EventRecord&) {
  if (quirks::NeedsCommand1500(record_.DeviceNumber, record_.CurVer)) {
    Send(cmd::kCommand1500);
    return;
  }
  StepOn();
  events_.queue.PostEvent(ev::kVersionCheckMain);
  run_.NotFoundCount = 0;
}

void UpdateEngine::EndSteps() {
  MoveTo(SequenceStep::kEnded);
}

void UpdateEngine::RetryRun() {
  // The programming path of each DeviceKind, taken up again after a failure.
  static constexpr int32_t kRetryEvents[] = {ev::kMenuPrompt, ev::kRepeatMsp430, ev::kStartWinCe,
                                             ev::kMenuPrompt};
  run_.Failed = false;
  if (run_.ExternalPending) {
    events_.queue.PostEvent(ev::kRunExternalLoader);
    return;
  }
  // An instrument never identified has no programming path to take up: the run starts anew
  // from the search.
  if (!run_.Identified) {
    StartRun();
    return;
  }
  MoveTo(SequenceStep::kThirdFile);
  events_.queue.PostEvent(kRetryEvents[package::KindRow(devices_.DeviceKind)]);
}

const char* StepName(SequenceStep step) {
  switch (step) {
    case SequenceStep::kOpenDialogue:
      return "open dialogue";
    case SequenceStep::kIdentify:
      return "identification";
    case SequenceStep::kThirdFile:
      return "third file";
    case SequenceStep::kBootLoaderPath:
      return "programming";
    case SequenceStep::kExternalLoader:
      return "external loader";
    case SequenceStep::kSecondaryDecision:
    case SequenceStep::kSecondaryAfterMain:
      return "secondary processor";
    case SequenceStep::kTerminal:
      return "terminal";
    case SequenceStep::kEnded:
      break;
  }
  return "after programming";
}

void UpdateEngine::EndAsFailed() {
  NoteFailure(StepName(run_.UpdateStep), 0);
  run_.Failed = true;
  MoveTo(SequenceStep::kEnded);
  run_.HeldGreeting = 0;
  run_.ResponseTimer = events_.timers.TimerStop(run_.ResponseTimer);
  StopGreetingTimer();
}

}  // namespace update
