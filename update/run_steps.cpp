// The step sequence driven by the instrument's prompts, the programming events, the
// secondary-processor decision and the end of a run.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <utility>

#include "core/event_codes.h"
#include "core/number_text.h"
#include "package/messages.h"
#include "update/commands.h"
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

void UpdateEngine::AdvanceSteps() {
  // The tests run in this order against the current step; a change made by one is seen by the
  // following ones.
  const bool identified = !Run.IdentFailed;
  if (Run.UpdateStep == 0) {
    Send(cmd::kOpenDialogue);
    events_.timers.TimerRestart(Run.ResponseTimer);
  }
  if (Run.UpdateStep == 1) {
    SendIdentRow();
    events_.timers.TimerRestart(Run.ResponseTimer);
    Run.CommandIndex = 1;
  }
  if (Run.UpdateStep == 2 && identified) {
    if (Context.ThirdFile.size() > 3) {
      Append(Message(messages::MSG_PROGRAMMING, Language()));
      if (paths_->RunExternalLoader(*this, Context.ThirdFile) != 0) {
        ProgrammingFailed(ev::kProgrammingFailed);
      } else {
        Run.ExternalPending = true;
        view_.SetSecTimerRunning(true);
      }
      Append(Message(messages::MSG_STORING, Language()));
      view_.SetProgress(1);
    } else {
      Run.UpdateStep = 4;
    }
  }
  if (Run.UpdateStep == 3 && identified) events_.queue.PostEvent(ev::kVersionCheckMain);
  if (Run.UpdateStep == 4 && identified) events_.queue.PostEvent(ev::kRunExternalLoader);
  if (Run.UpdateStep == 5 && identified) events_.queue.PostEvent(ev::kSecondaryDecision);
  if (Run.UpdateStep == 6 && identified) events_.queue.PostEvent(ev::kStartTerminal);
  if (Run.UpdateStep == 7 && identified) events_.queue.PostEvent(ev::kSecondaryDecision);
  ++Run.UpdateStep;
}

void UpdateEngine::OnVersionCheck(int32_t stage) {
  view_.SetSecTimerRunning(false);
  view_.SetProgress(0);
  ShowDurationEstimate(view_, Language(), stage, Context, Run.ForceSameVersion);
  if (MainOlder()) {
    Send(stage == 2 ? std::string(cmd::kBootDefault) : Run.BootCommand);
  } else {
    Run.UpdateStep = 6;
    events_.queue.PostEvent(ev::kSecondaryDecision);
  }
}

void UpdateEngine::OnProgramMsp430() {
  Run.UpdateStep = 7;
  ShowDurationEstimate(view_, Language(), 1, Context, Run.ForceSameVersion);
  if (!MainOlder()) {
    events_.queue.PostEvent(ev::kSecondaryDecision);
    return;
  }
  const Msp430Call call{Msp430Job::kMain, Run.BslMode, Context.MainFile, 1,
                        Run.SensorPresent ? 1 : 0};
  RunLoader(call, ev::kProgrammingFailed);
}

void UpdateEngine::OnRepeatMsp430() {
  // The retry takes up the failed run again.
  Run.Failed = false;
  view_.SetOkEnabled(false);
  Context.BenchMode = true;
  Run.UpdateStep = 7;
  ShowDurationEstimate(view_, Language(), 1, Context, Run.ForceSameVersion);
  const Msp430Call call{Msp430Job::kRepeat, Run.BslMode, Context.MainFile, 1, 0};
  RunLoader(call, ev::kProgrammingFailed);
  if (Run.Failed) return;
  Append(Message(messages::MSG_STORING, Language()));
  view_.SetSecTimerRunning(true);
  view_.SetProgress(1);
}

void UpdateEngine::OnWinCe() {
  Run.UpdateStep = 7;
  ShowDurationEstimate(view_, Language(), 2, Context, Run.ForceSameVersion);
  Run.WinCEDone = true;
  auto& list = Context.DownloadList;
  if (Context.StartupVer >= Context.OfferedStartupVer && Context.StartupVer > 0) {
    // The start-up program in the instrument is current: its files are not sent again.
    const size_t first = static_cast<size_t>(std::max(Run.StartupFirst, 0));
    const size_t last = static_cast<size_t>(std::max(Run.StartupLast, Run.StartupFirst));
    if (first < list.size())
      list.erase(list.begin() + first, list.begin() + std::min(last + 1, list.size()));
  }
  if (MainOlder() || Context.StartupVer < Context.OfferedStartupVer) {
    if (paths_->RunWinCe(*this, Context.MainFile) == 0) {
      ProgrammingFailed(ev::kProgrammingFailed);
      return;
    }
    Append(Message(messages::MSG_STORING, Language()));
    Run.UpdateStep = 7;
    list.clear();
  }
  SetInstrumentClock(false);
}

void UpdateEngine::OnSecondaryDecision() {
  if (SecondaryOlder() && Context.CurVer2 > 200) {
    StartSecondaryRoute();
    return;
  }
  // Here equal versions never count as older.
  if (Run.Reply262Seen || Run.BootLoaderSeen || Run.VersionPlaceholder ||
      Context.CurVer2 >= Context.NewVer2 || Context.SecondFile.size() <= 4) {
    if (Context.ListCount() > 0) {
      paths_->StartMultiFile(*this);
      Run.UpdateStep = 8;
    } else {
      FinishRun(false);
    }
    return;
  }
  ProgramSecondary();
}

void UpdateEngine::ProgramSecondary() {
  if (Context.PcbNumber.find("22075") != std::string::npos && MainOlder()) {
    // This board restarts its main processor first; show time passing meanwhile.
    view_.SetProgress(0);
    view_.SetProgressMax(100);
    view_.SetSecTimerRunning(true);
    events_.wait.DelayTime(32000, true);
    view_.SetSecTimerRunning(false);
    view_.SetProgress(0);
  }
  Context.BenchMode = false;
  Context.NoSensorContinue = Context.CurVer2 == 0 && !Run.BootLoaderSeen;
  events_.wait.DelayTime(3000, true);
  const int32_t option = (Run.WinCEDone || !Context.NoSensorContinue) ? 1 : 0;
  const Msp430Call call{Msp430Job::kSecondary, 1, Context.SecondFile, 1, option};
  RunLoader(call, ev::kSecondaryFailed);
}

void UpdateEngine::RunLoader(const Msp430Call& call, int32_t failCode) {
  Run.HeldGreeting = 0;
  Run.LoaderRunning = true;
  const bool programmed = paths_->RunMsp430(*this, call) != 0;
  Run.LoaderRunning = false;
  const int32_t held = std::exchange(Run.HeldGreeting, 0);
  if (!programmed) {
    ProgrammingFailed(failCode);
    return;
  }
  AwaitGreeting();
  if (held != 0) events_.queue.PostEvent(held);
}

void UpdateEngine::AwaitGreeting() {
  StopGreetingTimer();
  Run.GreetingTimer = events_.timers.TimerStart(kGreetingTimeoutMs);
}

void UpdateEngine::StopGreetingTimer() {
  Run.GreetingTimer = events_.timers.TimerStop(Run.GreetingTimer);
}

void UpdateEngine::OnGreetingTimeout() {
  RunFailed(messages::MSG_NO_GREETING);
}

void UpdateEngine::EndAsFailed() {
  Run.Failed = true;
  Run.UpdateStep = 8;
  Run.HeldGreeting = 0;
  Run.ResponseTimer = events_.timers.TimerStop(Run.ResponseTimer);
  StopGreetingTimer();
}

void UpdateEngine::ProgrammingFailed(int32_t code) {
  EndAsFailed();
  events_.queue.PostEvent(code);
}

void UpdateEngine::ReportProgrammingFailure(int32_t code) {
  EndAsFailed();
  paths_->ReportFailure(*this, code);
}

void UpdateEngine::RunFailed(messages::MessageId why) {
  EndAsFailed();
  const std::string text = Expand(Message(why, Language()));
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
  if (devices_.StartMode == 2) {
    if (serial::TComPort* port = ActiveComPort()) port->LoadLastV24Parameter();
    events_.wait.DelayTime(500, false);
  }
  Send(text);
}

void UpdateEngine::FinishRun(bool sendFinal) {
  // A failed run never reaches the success message, also when it failed during the wait.
  if (Run.Failed) return;
  events_.wait.DelayTime(3000, true);
  if (Run.Failed) return;
  if (devices_.StartMode == 2) {
    if (serial::TComPort* port = ActiveComPort()) port->LoadLastV24Parameter();
  }
  if (Run.AirPressureIndex != -1) {
    paths_->StartAirPressure(*this);
    return;
  }
  Send(cmd::kExitCommands[static_cast<size_t>(devices_.DeviceKind & 3)]);
  Append(Message(messages::MSG_SUCCESS, Language()));
  view_.SetDeviceField(DeviceField::Software, Context.OfferedVersion);
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
  view_.SetStatusPanel(3, "Version " + Context.OfferedVersion2);
  events_.wait.DelayTime(2000, true);
  Send(cmd::kSecondaryRoute);
}

void UpdateEngine::ReportNotFound() {
  Run.CommandIndex = 0;
  Run.ResponseTimer = events_.timers.TimerStop(Run.ResponseTimer);
  view_.EnableProgrammingMenu();
  view_.SetWaitPanelVisible(false);
  Run.HintShown = false;
  const std::string error = Message(messages::CAPTION_ERROR, Language());
  switch (Run.NotFoundCount) {
    case 0:
      view_.ShowError(error, Expand(Message(messages::MSG_NO_DEVICE, Language())));
      events_.queue.PostKey(core::KEY_OK);
      Run.NotFoundCount = 1;
      break;
    case 1:
      view_.ShowError(error, Expand(Message(messages::MSG_NO_NAME_ABORT, Language())));
      view_.CloseWindow();
      break;
    default:
      if (view_.ShowMessage(BoxIcon::Error, BoxButtons::YesNo, error,
                            Expand(Message(messages::MSG_TRANSMIT_RETRY, Language()))) ==
          BoxAnswer::Yes) {
        events_.queue.PostKey(core::KEY_OK);
        Run.NotFoundCount = 0;
      } else {
        view_.CloseWindow();
      }
      break;
  }
  ClearDeviceTexts(view_);
}

}  // namespace update
