// The work of the update sequence's steps: the commands a prompt sends, the programming paths
// the run is handed to, their failure, and the end of a run. Where each event leads is decided
// in update/state_machine.cpp.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <utility>

#include "core/event_codes.h"
#include "core/number_text.h"
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

// Local date and time as days since 1899-12-30 (the day count the instruments take).
double LocalDayCount() {
  using namespace std::chrono;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const year_month_day date{year{local.tm_year + 1900},
                            month{static_cast<unsigned>(local.tm_mon + 1)},
                            day{static_cast<unsigned>(local.tm_mday)}};
  const auto days = (sys_days{date} - sys_days{year{1899} / December / 30}).count();
  const double fraction = (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
  return static_cast<double>(days) + fraction;
}

}  // namespace

void UpdateEngine::SendOpenDialogue() {
  Send(cmd::kOpenDialogue);
  events_.timers.TimerRestart(run_.ResponseTimer);
}

void UpdateEngine::SendFirstIdentRow() {
  SendIdentRow();
  events_.timers.TimerRestart(run_.ResponseTimer);
  run_.CommandIndex = 1;
}

void UpdateEngine::OnRunExternalLoader(const core::EventRecord&) {
  view_.SetSecTimerRunning(false);
  view_.SetProgress(0);
  if (paths_->RunExternalLoader(*this, record_.MainFile).programmed) {
    events_.queue.PostEvent(ev::kExternalLoaderDone);
  } else {
    ProgrammingFailed(ev::kProgrammingFailed);
  }
}

void UpdateEngine::OnExternalLoaderDone(const core::EventRecord&) {
  if (devices_.DeviceKind != package::DeviceKindId::kHexLoad ||
      devices_.StartMode != package::StartVariant::kOpenDialogue) {
    // The instrument greets once it runs its new firmware.
    AwaitGreeting();
    return;
  }
  Append(Message(messages::MSG_STORING, Language()));
  events_.wait.DelayTime(12000, false);
  SendClock(true);
}

void UpdateEngine::OnStartTerminal(const core::EventRecord&) {
  paths_->StartTerminal(*this);
}

void UpdateEngine::LoaderEnded(const LoaderResult& result) {
  if (result.programmed) {
    AwaitGreeting();
  } else {
    ProgrammingFailed(ev::kSecondaryFailed);
  }
}

void UpdateEngine::RememberPasswordWord(int32_t word) {
  record_.BslPasswordWord = word;
  record_.BslPasswordKnown = true;
}

void UpdateEngine::OnBootFrame(const core::EventRecord& record) {
  StopResponseTimer();
  SetField(record_.LoaderIdText, record.Text(), DownloadContext::kLoaderIdTextWidth);
  paths_->StartMenuProgramming(*this);
}

void UpdateEngine::OnBootByte(const core::EventRecord& record) {
  StopResponseTimer();
  run_.BenchAnswerChar = record.Byte().value_or(0);
  paths_->StartBenchProgramming(*this);
}

void UpdateEngine::OnProgrammingFailure(const core::EventRecord& record) {
  ReportProgrammingFailure(record.code);
}

void UpdateEngine::OnVariantAnswer(const core::EventRecord& record) {
  const std::string text = AnswerText(record);
  record_.Reply208Char = text.empty() ? '\0' : text[0];
  Send(cmd::kAnswer208);
}

void UpdateEngine::OnNoSecondaryAnswer(const core::EventRecord&) {
  run_.Reply262Seen = true;
}

void UpdateEngine::ProgramSecondary() {
  if (quirks::Listed(record_.PcbNumber, quirks::kMainRestartsFirstBoards) && MainOlder()) {
    // This board restarts its main processor first; show time passing meanwhile.
    view_.SetProgress(0);
    view_.SetProgressMax(100);
    view_.SetSecTimerRunning(true);
    events_.wait.DelayTime(32000, true);
    view_.SetSecTimerRunning(false);
    view_.SetProgress(0);
  }
  record_.BenchMode = false;
  record_.NoSensorContinue = record_.CurVer2 == 0 && !run_.BootLoaderSeen;
  events_.wait.DelayTime(3000, true);
  const bool altEntry = run_.WinCEDone || !record_.NoSensorContinue;
  const Msp430Call call{Msp430Job::kSecondary, 1, record_.SecondFile, /*syncFirst=*/true, altEntry};
  RunLoader(call, ev::kSecondaryFailed);
}

void UpdateEngine::RunLoader(const Msp430Call& call, int32_t failCode) {
  run_.HeldGreeting = 0;
  // The new firmware may greet before the loader has returned: that greeting is held for it.
  run_.PromptAwaited = true;
  run_.LoaderRunning = true;
  const bool programmed = NoteLoaderResult(paths_->RunMsp430(*this, call));
  run_.LoaderRunning = false;
  const int32_t held = std::exchange(run_.HeldGreeting, 0);
  if (!programmed) {
    ProgrammingFailed(failCode);
    return;
  }
  AwaitGreeting();
  if (held != 0) events_.queue.PostEvent(held);
}

void UpdateEngine::AwaitGreeting(messages::MessageId why) {
  StopGreetingTimer();
  run_.GreetingFailure = why;
  run_.PromptAwaited = true;
  run_.GreetingTimer = events_.timers.TimerStart(kGreetingTimeoutMs);
}

void UpdateEngine::StopGreetingTimer() {
  run_.GreetingTimer = events_.timers.TimerStop(run_.GreetingTimer);
}

void UpdateEngine::OnGreetingTimeout() {
  RunFailed(run_.GreetingFailure);
}

void UpdateEngine::PresetInstrument(const package::DeviceEntry& entry) {
  SetField(record_.PcbNumber, entry.DeviceNrDef, DownloadContext::kPcbNumberWidth);
  SetField(record_.DeviceNumber, entry.DeviceNr, DownloadContext::kDeviceNumberWidth);
  SetField(record_.DeviceNameText, entry.DeviceName, DownloadContext::kDeviceNameWidth);
}

void UpdateEngine::NameInstrument(const std::string& name) {
  record_.DeviceNameText = name;
}

void UpdateEngine::ChooseBenchImage(bool f5xx, const std::string& file) {
  if (f5xx) record_.ProzTyp = package::kProcessorF5xx;
  record_.MainFile = file;
}

bool UpdateEngine::NoteLoaderResult(const LoaderResult& result) {
  if (!result.programmed && result.stepName) NoteFailure(result.stepName, result.failedStep);
  return result.programmed;
}

void UpdateEngine::NoteFailure(const std::string& step, int32_t code) {
  if (!run_.FailedStep.empty()) return;
  run_.FailedStep = step;
  run_.FailedCode = code;
}

void UpdateEngine::ProgrammingFailed(int32_t code) {
  NoteFailure(StepName(run_.UpdateStep), code);
  EndAsFailed();
  events_.queue.PostEvent(code);
}

void UpdateEngine::ReportProgrammingFailure(int32_t code) {
  NoteFailure(StepName(run_.UpdateStep), code);
  EndAsFailed();
  paths_->ReportFailure(*this, code);
}

void UpdateEngine::RunFailed(messages::MessageId why) {
  NoteFailure(StepName(run_.UpdateStep), why);
  RunFailedText(Expand(Message(why, Language())));
}

void UpdateEngine::RunFailedText(const std::string& text) {
  EndAsFailed();
  view_.AppendLog(text);
  view_.SetSecTimerRunning(false);
  view_.SetWaitPanelVisible(false);
  view_.SetProgress(0);
  view_.ShowError(Message(messages::CAPTION_ERROR, Language()), text);
  view_.SetOkEnabled(true);
}

void UpdateEngine::SetInstrumentClock(bool secondsMode) {
  const double days = LocalDayCount();
  std::string text = cmd::kClockPrefix;
  if (secondsMode) {
    const double seconds = (days - 37621.0) * 86400.0;
    text +=
        std::to_string(static_cast<uint32_t>(seconds <= 0 ? 0 : std::min(seconds, 4294967295.0)));
  } else {
    // Six decimals after a point, whatever the desktop's locale.
    text += core::FixedText(days, 6);
  }
  text += "\r\n";
  if (devices_.StartMode == package::StartVariant::kSensor) {
    if (serial::TComPort* port = ActiveComPort()) port->LoadLastV24Parameter();
    events_.wait.DelayTime(500, false);
  }
  Send(text);
}

void UpdateEngine::SendClock(bool secondsMode) {
  SetInstrumentClock(secondsMode);
  AwaitGreeting();
}

void UpdateEngine::FinishRun(bool sendFinal) {
  // A failed run never reaches the success message, also when it failed during the wait; an
  // ended one reaches it once.
  if (run_.Failed || run_.Ended) return;
  // From here nothing the run queued carries it on, and none of its waits is still due.
  run_.Ended = true;
  StopGreetingTimer();
  StopResponseTimer();
  events_.wait.DelayTime(3000, true);
  if (run_.Failed) return;
  if (devices_.StartMode == package::StartVariant::kSensor) {
    if (serial::TComPort* port = ActiveComPort()) port->LoadLastV24Parameter();
  }
  if (run_.AirPressureIndex != -1) {
    // The upload carries the run on to its end.
    run_.Ended = false;
    paths_->StartAirPressure(*this);
    return;
  }
  // The run is over: the prompt that answers the end command must not move a step (at the
  // terminal's step it would start the Basic-Loader terminal after the success message).
  EndSteps();
  Send(cmd::kExitCommands[package::KindRow(devices_.DeviceKind)]);
  Append(Message(messages::MSG_SUCCESS, Language()));
  view_.SetDeviceField(DeviceField::Software, record_.OfferedVersion);
  view_.SetOkEnabled(false);
  view_.SetSecTimerRunning(false);
  view_.SetProgress(0);
  ShowProgress(view_, Language(), "", -1000);
  events_.wait.DelayTime(1000, true);
  if (sendFinal) {
    Send(cmd::kFinal, false);
    events_.wait.DelayTime(2000, true);
  }
  if (serial::TComPort* port = ActiveComPort()) port->Close();
  view_.RunFinished();
}

void UpdateEngine::StartSecondaryRoute() {
  view_.SetStatusPanel(2, "19200");
  view_.SetStatusPanel(3, "Version " + record_.OfferedVersion2);
  events_.wait.DelayTime(2000, true);
  Send(cmd::kSecondaryRoute);
  AwaitGreeting();
}

void UpdateEngine::ReportNotFound() {
  run_.CommandIndex = 0;
  StopResponseTimer();
  view_.EnableProgrammingMenu();
  view_.SetWaitPanelVisible(false);
  run_.HintShown = false;
  const std::string error = Message(messages::CAPTION_ERROR, Language());
  switch (run_.NotFoundCount) {
    case 0: {
      // Ports this user may not open are the likely cause: say how to fix that.
      std::string text = Expand(Message(messages::MSG_NO_DEVICE, Language()));
      if (const std::string hint = ports_.PermissionHint(Language()); !hint.empty()) {
        text += "\r\n" + hint;
      }
      view_.ShowError(error, text);
      events_.queue.PostKey(core::KEY_OK);
      run_.NotFoundCount = 1;
      break;
    }
    case 1:
      view_.ShowError(error, Expand(Message(messages::MSG_NO_NAME_ABORT, Language())));
      view_.CloseWindow();
      break;
    default:
      if (view_.ShowMessage(BoxIcon::Error, BoxButtons::YesNo, error,
                            Expand(Message(messages::MSG_TRANSMIT_RETRY, Language()))) ==
          BoxAnswer::Yes) {
        events_.queue.PostKey(core::KEY_OK);
        run_.NotFoundCount = 0;
      } else {
        view_.CloseWindow();
      }
      break;
  }
  ClearDeviceTexts(view_);
}

}  // namespace update
