#include "update/engine.h"

#include <array>

#include "core/event_codes.h"
#include "package/messages.h"
#include "serial/window_messages.h"
#include "update/air_pressure.h"
#include "update/commands.h"
#include "update/display.h"
#include "update/event_codes.h"
#include "update/port_search.h"

namespace update {

using messages::MessageId;

namespace {

// Start event after a successful identification, by DeviceKind.
constexpr std::array<int32_t, 4> kStartEvents = {ev::kVersionCheckMain, ev::kProgramMsp430,
                                                 ev::kStartWinCe, ev::kVersionCheckKind3};
// The serial number the state machine posts itself when the version is below 1.00.
constexpr char kNoSerialNumber[] = " ";

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// The answers of the identification commands.
bool IsIdentAnswer(int32_t code) {
  switch (code) {
    case ev::kAnswerPcb:
    case ev::kAnswerPcbB:
    case ev::kAnswerPcbC:
    case ev::kAnswerDeviceNr:
    case ev::kAnswerDeviceNrB:
    case ev::kAnswerDeviceNrC:
    case ev::kAnswerVersion:
    case ev::kAnswerVersionB:
    case ev::kAnswerVersionC:
    case ev::kAnswerSerial:
    case ev::kAnswerSerialB:
      return true;
    default:
      return false;
  }
}

// The instrument's greetings: what the new firmware sends first after a programming.
bool IsGreeting(int32_t code) {
  return code == ev::kPrompt || code == ev::kMenuPrompt || code == ev::kAnswerProgrammedClock ||
         code == ev::kAnswerProgrammedEnd;
}

// Events that carry a run on towards its end; a failed run drops them.
bool AdvancesRun(int32_t code) {
  if (IsGreeting(code) || IsIdentAnswer(code)) return true;
  switch (code) {
    case ev::kVersionCheckMain:
    case ev::kVersionCheckKind3:
    case ev::kProgramMsp430:
    case ev::kStartWinCe:
    case ev::kRunExternalLoader:
    case ev::kExternalLoaderDone:
    case ev::kSecondaryDecision:
    case ev::kStartTerminal:
    case ev::kBootFrame:
    case ev::kBootByte:
    case ev::kAnswerVariant:
    case ev::kAnswer920:
      return true;
    default:
      return false;
  }
}

}  // namespace

UpdateEngine::UpdateEngine(core::EventCore& events, UpdateView& view, package::Settings& settings,
                           package::DeviceDescription& devices, PortTable& ports,
                           std::vector<std::string> firmwareFiles)
    : FirmwareFiles(std::move(firmwareFiles)),
      events_(events),
      view_(view),
      settings_(settings),
      devices_(devices),
      ports_(ports) {}

UpdateEngine::~UpdateEngine() {
  events_.queue.RemoveHandler(core::MakeHandler<&UpdateEngine::HandleUpdateEvent>(this));
  Run.ResponseTimer = events_.timers.TimerStop(Run.ResponseTimer);
  StopGreetingTimer();
}

void UpdateEngine::Install() {
  Run.ActivePort = -1;
  Run.AirPressureIndex = -1;
  VersionCheck = 1;
  events_.queue.AddHandler(core::MakeHandler<&UpdateEngine::HandleUpdateEvent>(this));
}

void UpdateEngine::SetPaths(ProgrammingPaths* paths) {
  paths_ = paths ? paths : &defaultPaths_;
}

int32_t UpdateEngine::Language() const {
  return settings_.LanguageIndex;
}

serial::TComPort* UpdateEngine::ActiveComPort() const {
  return Run.ActivePort >= 0 ? ports_.Entry(Run.ActivePort) : nullptr;
}

std::string UpdateEngine::Expand(const std::string& message) const {
  return ExpandMessage(message, Language(), Context, Run.ActiveComIndex);
}

void UpdateEngine::Append(const std::string& message) {
  view_.AppendLog(Expand(message));
}

void UpdateEngine::LogLine(const std::string& text) {
  update::LogLine(view_, text, DebugMode, Language(), Context, Run.ActiveComIndex);
}

void UpdateEngine::Send(const std::string& command, bool log) {
  if (serial::TComPort* port = ActiveComPort()) {
    port->Write(command.c_str(), -1, false);
  }
  if (log) LogLine(command);
}

bool UpdateEngine::MainOlder() const {
  return Context.CurVer < Context.NewVer ||
         (Context.CurVer == Context.NewVer && Run.ForceSameVersion);
}

bool UpdateEngine::SecondaryOlder() const {
  return Context.CurVer2 < Context.NewVer2 ||
         (Context.CurVer2 == Context.NewVer2 && Run.ForceSameVersion);
}

void UpdateEngine::OnWindowMessage(uint32_t message, uintptr_t wParam) {
  if (message == serial::WM_V24_RECEIVED) {
    events_.queue.PostEvent(ev::kReceived, core::PortNumber{static_cast<int32_t>(wParam)});
    events_.pump.PumpEvents();
  } else if (message == serial::WM_V24_ERROR) {
    OnLineError(static_cast<int32_t>(wParam));
  }
}

void UpdateEngine::OnLineError(int32_t portNumber) {
  const int index = ports_.PortIndexOf(portNumber);
  if (serial::TComPort* port = ports_.Entry(index); port && port->DeviceLost()) {
    OnPortLost(index, portNumber);
    return;
  }
  Run.LineErrorSeen = true;
  ports_.DiscardReceived(portNumber);
  if (Run.ResponseTimer > 0) {
    events_.timers.TimerRestart(Run.ResponseTimer);
    events_.wait.DelayTime(500, true);
    SearchPorts(true);
  }
}

void UpdateEngine::OnPortLost(int index, int32_t portNumber) {
  if (!ports_.MarkLost(index)) return;
  view_.AppendLog(ReplaceFirstX(messages::Text(messages::MSG_PORT_LOST, Language()),
                                "COM" + std::to_string(portNumber)));
  view_.SetStatusPanel(0, ports_.PanelText());
  // Outside the search the port belongs to whoever uses it; its next operation fails there.
  if (Run.ResponseTimer == 0) return;
  // The search leaves it out: a closed port is neither set nor written nor read.
  ports_.Entry(index)->Close();
  if (index == Run.ActivePort) {
    // The instrument that answered there is gone: the search starts over on the other ports.
    Run.ActivePort = Run.ActiveComIndex = -1;
    Run.UpdateStep = devices_.StartMode == 1 ? 1 : 0;
    Run.CommandIndex = 0;
  }
}

core::EventRecord UpdateEngine::HandleUpdateEvent(core::EventQueue&, core::EventRecord record) {
  switch (record.kind) {
    case core::EVK_KEY:
      if (record.code != core::KEY_OK) return record;
      StartRun();
      return core::ConsumedEvent;
    case core::EVK_TIMER:
      if (Run.GreetingTimer != 0 && record.code == Run.GreetingTimer) {
        OnGreetingTimeout();
        return core::ConsumedEvent;
      }
      if (Run.ResponseTimer == 0 || record.code != Run.ResponseTimer) return record;
      OnResponseTimeout();
      return core::ConsumedEvent;
    case core::EVK_EVENT:
      return HandleEvent(record) ? core::ConsumedEvent : record;
    default:
      return record;
  }
}

void UpdateEngine::StartRun() {
  Run.UpdateStep = devices_.StartMode == 1 ? 1 : 0;
  Run.BootCommand = cmd::kBootDefault;
  Run.BootLoaderSeen = false;
  Run.BenchAnswerChar = 0;
  Run.IdentFailed = false;
  Run.LineErrorSeen = false;
  Run.Reply262Seen = false;
  ports_.BeginRun([this](const std::string& text) { view_.AppendLog(text); });
  // A boot-loader attempt ended by an answer must not turn the next run's first time-out into
  // a second wake-up.
  Run.WakePhase = 0;
  Run.Failed = false;
  Run.HeldGreeting = 0;
  StopGreetingTimer();
  Context = DownloadContext{};
  view_.SetOkEnabled(false);
  view_.SetSecTimerRunning(false);
  view_.SetProgress(0);
  Run.ResponseTimer = events_.timers.TimerStart(5000);
  view_.SetWaitPanelVisible(true);
  Run.SearchAttempt = -1;
  Run.CommandIndex = 0;
  Run.AirPressureIndex = -1;
  SearchPorts(true);
}

void UpdateEngine::OnResponseTimeout() {
  if (Run.WakePhase == 3) {
    // The second wake-up of the boot-loader attempt; device kinds 2 and 3 have none.
    const int32_t kind = devices_.DeviceKind;
    if (kind == 0 || kind == 1) {
      const auto& wake = kWakeSequences[static_cast<size_t>(kind) + 3];
      ports_.BroadcastWrite(wake.bytes, wake.length, false);
    }
    Run.WakePhase = 4;
    return;
  }
  // A line error keeps the baud rate for the next step only: a line that keeps reporting
  // errors must not hold the search at one rate for ever.
  const bool repeat = Run.LineErrorSeen;
  Run.LineErrorSeen = false;
  SearchPorts(!repeat);
}

bool UpdateEngine::HoldGreeting(int32_t code) {
  if (!Run.LoaderRunning || !IsGreeting(code)) return false;
  if (Run.HeldGreeting == 0) Run.HeldGreeting = code;
  return true;
}

void UpdateEngine::SendIdentRow() {
  const size_t row = static_cast<size_t>(Run.CommandIndex);
  if (row < cmd::kIdentCommands.size()) Send(cmd::kIdentCommands[row]);
}

bool UpdateEngine::HandleIdentAnswer(const core::EventRecord& record) {
  const int32_t code = record.code;
  if (!IsIdentAnswer(code)) return false;
  const std::string text = AnswerText(record);
  switch (code) {
    case ev::kAnswerPcb:
    case ev::kAnswerPcbB:
    case ev::kAnswerPcbC:
      SetField(Context.PcbNumber, text, DownloadContext::kPcbNumberWidth);
      events_.timers.TimerRestart(Run.ResponseTimer);
      SendIdentRow();
      Run.CommandIndex = 2;
      return true;
    case ev::kAnswerDeviceNr:
    case ev::kAnswerDeviceNrB:
    case ev::kAnswerDeviceNrC:
      SetField(Context.DeviceNumber, text, DownloadContext::kDeviceNumberWidth);
      SendIdentRow();
      events_.timers.TimerRestart(Run.ResponseTimer);
      Run.CommandIndex = 3;
      return true;
    case ev::kAnswerVersion:
    case ev::kAnswerVersionB:
    case ev::kAnswerVersionC:
      if (code == ev::kAnswerVersionC && devices_.DeviceKind == 2) {
        Context.StartupVer = VersionHundredths(text);
        return true;
      }
      SetField(Context.SwVersion, text, DownloadContext::kSwVersionWidth);
      Run.VersionPlaceholder = Contains(text, "X.XX");
      Context.CurVer = VersionHundredths(text);
      if (const size_t comma = text.find(','); comma != std::string::npos) {
        Context.CurVer2 = VersionHundredths(text.substr(comma + 1));
      }
      events_.timers.TimerRestart(Run.ResponseTimer);
      if (Context.CurVer >= 100 || Contains(text, "Y.YY")) {
        SendIdentRow();
      } else {
        // Instruments below 1.00 do not know "A.4001": identify without a serial number.
        events_.queue.PostEvent(ev::kAnswerSerialB, std::string(kNoSerialNumber));
      }
      Run.CommandIndex = 4;
      return true;
    case ev::kAnswerSerial:
    case ev::kAnswerSerialB:
      OnSerialNumber(text);
      return true;
    default:
      return false;
  }
}

void UpdateEngine::CloseOtherPorts() {
  for (int i = 0; i < ports_.PortCount; ++i) {
    if (i == Run.ActivePort) continue;
    if (serial::TComPort* port = ports_.Entry(i)) port->Close();
  }
}

void UpdateEngine::OnSerialNumber(const std::string& text) {
  SetField(Context.SerialNumber, text, DownloadContext::kSerialNumberWidth);
  Run.AirPressureIndex =
      FindPressureEntry(Context.DeviceNumber, Context.SerialNumber, Context.CurVer);
  Run.ResponseTimer = events_.timers.TimerStop(Run.ResponseTimer);
  CloseOtherPorts();
  if (IdentifyDevice()) {
    const int32_t kind = devices_.DeviceKind;
    events_.queue.PostEvent(kStartEvents[static_cast<size_t>(kind & 3)]);
    return;
  }
  ClearDeviceTexts(view_);
  Run.IdentFailed = true;
  view_.SetOkEnabled(true);
  Send(cmd::kExitCommands[static_cast<size_t>(devices_.DeviceKind & 3)]);
  Run.CommandIndex = 0;
}

bool UpdateEngine::EndsGreetingWait(int32_t code) const {
  if (!IsGreeting(code)) return false;
  // Past the secondary decision a prompt moves no step: the "programmed" answer is still due.
  const bool prompt = code == ev::kPrompt || code == ev::kMenuPrompt;
  return !(prompt && Run.UpdateStep >= 8);
}

bool UpdateEngine::HandleEvent(const core::EventRecord& record) {
  const int32_t code = record.code;
  if (code == ev::kReceived) {
    ParseReplies(record.Port());
    return true;
  }
  // What still arrives for a failed run is dropped: only OK or the retry go on.
  if (Run.Failed && AdvancesRun(code)) return true;
  if (HoldGreeting(code)) return true;
  if (EndsGreetingWait(code)) StopGreetingTimer();
  if (HandleIdentAnswer(record)) return true;
  switch (code) {
    case ev::kPrompt:
    case ev::kMenuPrompt:
      AdvanceSteps();
      return true;
    case ev::kVersionCheckMain:
      OnVersionCheck(0);
      return true;
    case ev::kVersionCheckKind3:
      OnVersionCheck(2);
      return true;
    case ev::kProgramMsp430:
      OnProgramMsp430();
      return true;
    case ev::kRepeatMsp430:
      OnRepeatMsp430();
      return true;
    case ev::kStartWinCe:
      OnWinCe();
      return true;
    case ev::kRunExternalLoader:
      view_.SetSecTimerRunning(false);
      view_.SetProgress(0);
      if (paths_->RunExternalLoader(*this, Context.MainFile) == 0) {
        events_.queue.PostEvent(ev::kExternalLoaderDone);
      } else {
        ProgrammingFailed(ev::kProgrammingFailed);
      }
      return true;
    case ev::kExternalLoaderDone:
      if (devices_.DeviceKind == 0 && devices_.StartMode == 0) {
        Append(std::string(messages::Text(messages::MSG_STORING, Language())));
        events_.wait.DelayTime(12000, false);
        SetInstrumentClock(true);
      }
      return true;
    case ev::kSecondaryDecision:
      OnSecondaryDecision();
      return true;
    case ev::kStartTerminal:
      paths_->StartTerminal(*this);
      return true;
    case ev::kBootFrame:
      Run.ResponseTimer = events_.timers.TimerStop(Run.ResponseTimer);
      SetField(Context.LoaderIdText, record.Text(), DownloadContext::kLoaderIdTextWidth);
      paths_->StartMenuProgramming(*this);
      return true;
    case ev::kBootByte:
      Run.ResponseTimer = events_.timers.TimerStop(Run.ResponseTimer);
      Run.BenchAnswerChar = record.Byte().value_or(0);
      paths_->StartBenchProgramming(*this);
      return true;
    case ev::kProgrammingFailed:
    case ev::kSecondaryFailed:
      ReportProgrammingFailure(code);
      return true;
    case ev::kAnswerProgrammedClock:
      if (devices_.StartMode != 2) {
        Append(std::string(messages::Text(messages::MSG_STORING, Language())));
        events_.wait.DelayTime(1000, false);
        SetInstrumentClock(true);
        return true;
      }
      [[fallthrough]];
    case ev::kAnswerProgrammedEnd:
      Run.UpdateStep = 8;
      FinishRun(false);
      return true;
    case ev::kAnswerVariant: {
      const std::string text = AnswerText(record);
      Context.Reply208Char = text.empty() ? '\0' : text[0];
      Send(cmd::kAnswer208);
      return true;
    }
    case ev::kAnswerNoSecondary:
      Run.Reply262Seen = true;
      return true;
    case ev::kAnswer920:
      if (Contains(Context.DeviceNumber, "20363") && Context.CurVer < 105) {
        Send(cmd::kCommand1500);
      } else {
        ++Run.UpdateStep;
        events_.queue.PostEvent(ev::kVersionCheckMain);
        Run.NotFoundCount = 0;
      }
      return true;
    default:
      return false;
  }
}

}  // namespace update
