// The port search: one baud rate per step on every open port at once, then one boot-loader
// attempt with a raw wake-up sequence, then the not-found handling.
#include "update/port_search.h"

#include "package/messages.h"
#include "update/commands.h"
#include "update/engine.h"

namespace update {

const char* BaudName(int32_t baud) {
  static constexpr const char* kNames[] = {"1200",  "2400",  "4800",  "9600",
                                           "19200", "38400", "57600", "115200"};
  return baud >= 0 && baud < 8 ? kNames[baud] : "?";
}

bool UpdateEngine::SearchPorts(bool advance) {
  if (advance) ++run_.SearchAttempt;
  if (run_.SearchAttempt > settings_.BaudCount) {
    ReportNotFound();
    return false;
  }
  if (run_.SearchAttempt < settings_.BaudCount) {
    NormalAttempt();
  } else {
    BootLoaderAttempt();
  }
  return true;
}

void UpdateEngine::NormalAttempt() {
  const int32_t baud = settings_.BaudSearchList[static_cast<size_t>(run_.SearchAttempt)];
  view_.SetStatusPanel(2, BaudName(baud));
  replies_.Clear();
  for (int i = 0; i < ports_.PortCount; ++i) {
    if (serial::TComPort* port = ports_.Entry(i)) {
      port->ChangeBaudrate(static_cast<serial::BaudTag>(baud));
    }
  }
  events_.wait.DelayTime(500, false);
  ports_.BroadcastWrite(cmd::kEmptyLine, -1, false);
  events_.wait.DelayTime(500, true);
  const size_t mode = static_cast<size_t>(devices_.StartMode);
  // A start variant without a probe of its own greets like kOpenDialogue.
  const char* probe =
      mode < cmd::kProbeCommands.size() ? cmd::kProbeCommands[mode] : cmd::kProbeCommands[0];
  ports_.BroadcastWrite(probe, -1, false);
  LogLine(probe);
}

void UpdateEngine::BootLoaderAttempt() {
  replies_.Clear();
  // The main port's own record: the change stays for every port opened later.
  serial::V24ParameterTag* record = ports_.UpdateCom().GetV24Parameter();
  record->StopBits = serial::S_1;
  serial::BaudTag baud = serial::B_38400;
  if (devices_.DeviceKind == package::DeviceKindId::kMsp430) {
    record->Paritaet = serial::Even;
    baud = serial::B__9600;
  }
  for (int i = 0; i < ports_.PortCount; ++i) {
    if (serial::TComPort* port = ports_.Entry(i)) port->InitParameter(record, false);
  }
  view_.SetStatusPanel(2, "BL-Baud");
  replies_.Clear();
  for (int i = 0; i < ports_.PortCount; ++i) {
    if (serial::TComPort* port = ports_.Entry(i)) port->ChangeBaudrate(baud);
  }
  events_.wait.DelayTime(200, false);
  StopResponseTimer();
  if (devices_.DeviceKind == package::DeviceKindId::kMsp430 && !run_.HintShown)
    ShowPowerCycleHint();
  run_.ResponseTimer = events_.timers.TimerStart(5000);
  const auto& wake = kWakeSequences[package::KindRow(devices_.DeviceKind)];
  ports_.BroadcastWrite(wake.bytes, wake.length, false);
  run_.WakePhase = 3;
}

void UpdateEngine::ShowPowerCycleHint() {
  // The second line of the abort text tells the user to switch the instrument off and on.
  const std::string text = Expand(devices_.AbortTextIn(Language()));
  const size_t first = text.find("\r\n");
  if (first == std::string::npos) return;
  const size_t second = text.find("\r\n", first + 2);
  if (second == std::string::npos) return;
  run_.HintShown = true;
  const std::string hint = text.substr(first + 2, second + 2 - (first + 2)) +
                           std::string(messages::Text(messages::MSG_CONFIRM_OK, Language()));
  view_.ShowInfo(messages::kInfoCaption, hint);
}

void UpdateEngine::ParseReplies(int32_t portNumber) {
  const int index = ports_.PortIndexOf(portNumber);
  // A port that is not in the table: nothing to read.
  if (index < 0 || index >= ports_.PortCount) return;
  serial::TComPort* port = ports_.Entry(index);
  if (!port) return;
  // What has arrived; a partial line stays in the parser's buffer until the rest comes.
  char bytes[251];
  const int32_t count = port->ReadReceived(bytes, 250);
  if (count < 0) return;
  ReplyTarget target{events_.queue,
                     run_.ActivePort,
                     run_.ActiveComIndex,
                     run_.BootLoaderSeen,
                     [this](const std::string& line) { LogLine(line); },
                     [this](const std::string& text) { view_.SetStatusPanel(1, text); }};
  replies_.Parse(bytes, static_cast<size_t>(count), index, portNumber, target);
}

}  // namespace update
