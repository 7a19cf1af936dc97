// The engine's frame: the event handler, the start of a run and its time-outs, the port's
// messages, and the identification answers that lead from the instrument's first answer to
// the identification.
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
#include "update/programming_flows.h"

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

}  // namespace

UpdateEngine::UpdateEngine(core::EventCore& events, UpdateView& view, package::Settings& settings,
                           package::DeviceDescription& devices, PortTable& ports,
                           std::vector<std::string> firmwareFiles)
    : FirmwareFiles(std::move(firmwareFiles)),
      events_(events),
      view_(view),
      settings_(settings),
      devices_(devices),
      ports_(ports),
      flows_(std::make_unique<ProgrammingFlows>(*this)) {}

UpdateEngine::~UpdateEngine() {
  events_.queue.RemoveHandler(core::MakeHandler<&UpdateEngine::HandleUpdateEvent>(this));
  StopResponseTimer();
  StopGreetingTimer();
}

void UpdateEngine::Install() {
  run_.ActivePort = -1;
  run_.AirPressureIndex = -1;
  VersionCheck = 1;
  events_.queue.AddHandler(core::MakeHandler<&UpdateEngine::HandleUpdateEvent>(this));
}

void UpdateEngine::SetPaths(ProgrammingPaths* paths) {
  paths_ = paths;
}

int32_t UpdateEngine::Language() const {
  return settings_.LanguageIndex;
}

serial::TComPort* UpdateEngine::ActiveComPort() const {
  return run_.ActivePort >= 0 ? ports_.Entry(run_.ActivePort) : nullptr;
}

std::string UpdateEngine::Expand(const std::string& message) const {
  return ExpandMessage(message, Language(), record_, run_.ActiveComIndex);
}

void UpdateEngine::Append(const std::string& message) {
  view_.AppendLog(Expand(message));
}

void UpdateEngine::LogLine(const std::string& text) {
  update::LogLine(view_, text, DebugMode, Language(), record_, run_.ActiveComIndex);
}

void UpdateEngine::Send(const std::string& command, bool log) {
  // A new command: its answers are awaited, whatever earlier commands got.
  run_.PromptAwaited = true;
  run_.AnswersTaken.clear();
  if (serial::TComPort* port = ActiveComPort()) {
    port->Write(command.c_str(), -1, false);
  }
  if (log) LogLine(command);
}

bool UpdateEngine::MainOlder() const {
  return record_.CurVer < record_.NewVer ||
         (record_.CurVer == record_.NewVer && run_.ForceSameVersion);
}

bool UpdateEngine::SecondaryOlder() const {
  return record_.CurVer2 < record_.NewVer2 ||
         (record_.CurVer2 == record_.NewVer2 && run_.ForceSameVersion);
}

void UpdateEngine::OnWindowMessage(uint32_t message, uintptr_t wParam) {
  if (message == serial::WM_V24_RECEIVED) {
    events_.queue.PostEvent(ev::kReceived, core::PortNumber{static_cast<int32_t>(wParam)});
    events_.pump.PumpEvents();
  } else if (message == serial::WM_V24_ERROR) {
    OnLineError(static_cast<int32_t>(wParam));
  }
}

void UpdateEngine::StopResponseTimer() {
  run_.ResponseTimer = events_.timers.TimerStop(run_.ResponseTimer);
}

bool UpdateEngine::UseFirstPortIfNone() {
  if (run_.ActivePort >= 0) return true;
  serial::TComPort* first = ports_.Entry(0);
  if (!first || !first->Opened() || ports_.UsablePortNumbers.empty()) return false;
  run_.ActivePort = 0;
  run_.ActiveComIndex = ports_.UsablePortNumbers[0] - 1;
  view_.SetStatusPanel(1, "Com" + std::to_string(ports_.UsablePortNumbers[0]));
  return true;
}

void UpdateEngine::BeginBootLoaderProgramming() {
  run_.Failed = false;
  run_.Ended = false;
  // The device row named by the menu or the bench boot loader stands for the identification.
  run_.Identified = true;
  run_.HeldGreeting = 0;
  run_.AirPressureIndex = -1;
  StopGreetingTimer();
}

void UpdateEngine::MarkExternalPending() {
  run_.ExternalPending = true;
}

void UpdateEngine::SetAirPressureIndex(int32_t index) {
  run_.AirPressureIndex = index;
}

void UpdateEngine::OnLineError(int32_t portNumber) {
  const int index = ports_.PortIndexOf(portNumber);
  if (serial::TComPort* port = ports_.Entry(index); port && port->DeviceLost()) {
    OnPortLost(index, portNumber);
    return;
  }
  run_.LineErrorSeen = true;
  ports_.DiscardReceived(portNumber);
  if (run_.ResponseTimer > 0) {
    events_.timers.TimerRestart(run_.ResponseTimer);
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
  if (run_.ResponseTimer == 0) return;
  // The search leaves it out: a closed port is neither set nor written nor read.
  ports_.Entry(index)->Close();
  if (index == run_.ActivePort) {
    // The instrument that answered there is gone: the search starts over on the other ports.
    run_.ActivePort = run_.ActiveComIndex = -1;
    RestartSteps();
    run_.CommandIndex = 0;
  }
}

core::EventRecord UpdateEngine::HandleUpdateEvent(core::EventQueue&, core::EventRecord record) {
  switch (record.kind) {
    case core::EVK_KEY:
      if (record.code != core::KEY_OK) return record;
      StartRun();
      return core::ConsumedEvent;
    case core::EVK_TIMER:
      if (run_.GreetingTimer != 0 && record.code == run_.GreetingTimer) {
        OnGreetingTimeout();
        return core::ConsumedEvent;
      }
      if (run_.ResponseTimer == 0 || record.code != run_.ResponseTimer) return record;
      OnResponseTimeout();
      return core::ConsumedEvent;
    case core::EVK_EVENT:
      return HandleEvent(record) ? core::ConsumedEvent : record;
    default:
      return record;
  }
}

void UpdateEngine::StartRun() {
  flows_->EndAll();
  RestartSteps();
  run_.BootCommand = cmd::kBootDefault;
  run_.BootLoaderSeen = false;
  run_.BenchAnswerChar = 0;
  run_.IdentFailed = false;
  run_.LineErrorSeen = false;
  run_.Reply262Seen = false;
  ports_.BeginRun([this](const std::string& text) { view_.AppendLog(text); });
  // A boot-loader attempt ended by an answer must not turn the next run's first time-out into
  // a second wake-up.
  run_.WakePhase = 0;
  run_.Failed = false;
  run_.Ended = false;
  run_.Identified = false;
  run_.LeftCurrent = false;
  run_.FailedStep.clear();
  run_.FailedCode = 0;
  run_.PromptAwaited = false;
  run_.AnswersTaken.clear();
  run_.HeldGreeting = 0;
  StopGreetingTimer();
  record_ = DownloadContext{};
  view_.SetOkEnabled(false);
  view_.SetSecTimerRunning(false);
  view_.SetProgress(0);
  run_.ResponseTimer = events_.timers.TimerStart(5000);
  view_.SetWaitPanelVisible(true);
  run_.SearchAttempt = -1;
  run_.CommandIndex = 0;
  run_.AirPressureIndex = -1;
  SearchPorts(true);
}

void UpdateEngine::OnResponseTimeout() {
  if (run_.WakePhase == 3) {
    // The second wake-up of the boot-loader attempt; device kinds 2 and 3 have none.
    const package::DeviceKindId kind = devices_.DeviceKind;
    if (kind == package::DeviceKindId::kHexLoad || kind == package::DeviceKindId::kMsp430) {
      const auto& wake = kWakeSequences[package::KindRow(kind) + 3];
      ports_.BroadcastWrite(wake.bytes, wake.length, false);
    }
    run_.WakePhase = 4;
    return;
  }
  // A line error keeps the baud rate for the next step only: a line that keeps reporting
  // errors must not hold the search at one rate for ever.
  const bool repeat = run_.LineErrorSeen;
  run_.LineErrorSeen = false;
  SearchPorts(!repeat);
}

void UpdateEngine::SendIdentRow() {
  const size_t row = static_cast<size_t>(run_.CommandIndex);
  if (row < cmd::kIdentCommands.size()) Send(cmd::kIdentCommands[row]);
}

void UpdateEngine::OnReceived(const core::EventRecord& record) {
  ParseReplies(record.Port());
}

void UpdateEngine::OnPcbAnswer(const core::EventRecord& record) {
  SetField(record_.PcbNumber, AnswerText(record), DownloadContext::kPcbNumberWidth);
  events_.timers.TimerRestart(run_.ResponseTimer);
  SendIdentRow();
  run_.CommandIndex = 2;
}

void UpdateEngine::OnDeviceNrAnswer(const core::EventRecord& record) {
  SetField(record_.DeviceNumber, AnswerText(record), DownloadContext::kDeviceNumberWidth);
  SendIdentRow();
  events_.timers.TimerRestart(run_.ResponseTimer);
  run_.CommandIndex = 3;
}

void UpdateEngine::OnVersionAnswer(const core::EventRecord& record) {
  const std::string text = AnswerText(record);
  if (record.code == ev::kAnswerVersionC && devices_.DeviceKind == package::DeviceKindId::kWinCe) {
    record_.StartupVer = VersionHundredths(text);
    return;
  }
  SetField(record_.SwVersion, text, DownloadContext::kSwVersionWidth);
  run_.VersionPlaceholder = Contains(text, "X.XX");
  record_.CurVer = VersionHundredths(text);
  if (const size_t comma = text.find(','); comma != std::string::npos) {
    record_.CurVer2 = VersionHundredths(text.substr(comma + 1));
  }
  events_.timers.TimerRestart(run_.ResponseTimer);
  if (record_.CurVer >= 100 || Contains(text, "Y.YY")) {
    SendIdentRow();
  } else {
    // Instruments below 1.00 do not know "A.4001": identify without a serial number.
    events_.queue.PostEvent(ev::kAnswerSerialB, std::string(kNoSerialNumber));
  }
  run_.CommandIndex = 4;
}

void UpdateEngine::OnSerialAnswer(const core::EventRecord& record) {
  OnSerialNumber(AnswerText(record));
}

void UpdateEngine::CloseOtherPorts() {
  for (int i = 0; i < ports_.PortCount; ++i) {
    if (i == run_.ActivePort) continue;
    if (serial::TComPort* port = ports_.Entry(i)) port->Close();
  }
}

void UpdateEngine::OnSerialNumber(const std::string& text) {
  SetField(record_.SerialNumber, text, DownloadContext::kSerialNumberWidth);
  run_.AirPressureIndex = kPressureNotQualified;
  if (PressureQualifies(record_.DeviceNumber, record_.CurVer)) {
    // The package's table as it is now: a mended AirPressure.csv counts from the next run on.
    pressureTable_ = LoadPressureTable(".", Language());
    for (const std::string& problem : pressureTable_.problems) view_.AppendLog(problem);
    run_.AirPressureIndex = FindPressureEntry(record_.DeviceNumber, record_.SerialNumber,
                                              record_.CurVer, pressureTable_.rows);
  }
  StopResponseTimer();
  CloseOtherPorts();
  if (IdentifyDevice()) {
    // No identification command is due any more: a repeated answer identifies nothing again.
    run_.CommandIndex = 0;
    run_.Identified = true;
    events_.queue.PostEvent(kStartEvents[package::KindRow(devices_.DeviceKind)]);
    return;
  }
  ClearDeviceTexts(view_);
  if (!run_.LeftCurrent) NoteFailure("identification", 0);
  run_.IdentFailed = true;
  view_.SetOkEnabled(true);
  Send(cmd::kExitCommands[package::KindRow(devices_.DeviceKind)]);
  run_.CommandIndex = 0;
}

}  // namespace update
