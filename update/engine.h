// The update engine: one run from OK to the final message. Its handler HandleUpdateEvent is the
// first on the event chain; it reacts to OK, to the instrument's answers, to its own follow-up
// events and to the answer time-out, searches the ports, identifies the instrument, checks the
// versions and hands the run to the programming path of the device kind.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/event_core.h"
#include "package/device_file.h"
#include "package/messages.h"
#include "package/settings.h"
#include "update/download_context.h"
#include "update/port_table.h"
#include "update/programming_paths.h"
#include "update/reply_parser.h"
#include "update/update_view.h"

namespace update {

// The run state: reset by OK, read by the paths and the loaders.
struct RunState {
  int32_t UpdateStep = 0;
  int32_t CommandIndex = 0;
  int32_t ResponseTimer = 0;
  bool IdentFailed = false;
  bool ForceSameVersion = false;
  bool LineErrorSeen = false;
  bool Reply262Seen = false;
  bool VersionPlaceholder = false;
  bool WinCEDone = false;
  bool ExternalPending = false;
  int32_t NotFoundCount = 0;
  std::string BootCommand = "A.1200\r\n";
  int32_t BslMode = 0;
  bool SensorPresent = false;
  int32_t AirPressureIndex = -1;
  bool BootLoaderSeen = false;
  uint8_t BenchAnswerChar = 0;
  int32_t WakePhase = 0;
  int32_t StartupFirst = 0;
  int32_t StartupLast = 0;
  // Port search.
  int32_t SearchAttempt = -1;
  bool HintShown = false;
  // The port on which the instrument answered.
  int32_t ActivePort = -1;
  int32_t ActiveComIndex = -1;
  // The run has failed: nothing but OK (a new run) or the retry goes on from here.
  bool Failed = false;
  // A loader holds the line; a greeting that arrives meanwhile waits in HeldGreeting until the
  // loader has returned (and is dropped when it failed).
  bool LoaderRunning = false;
  int32_t HeldGreeting = 0;
  // Bounds the wait for the new firmware's greeting after a programming.
  int32_t GreetingTimer = 0;
};

class UpdateEngine {
 public:
  UpdateEngine(core::EventCore& events, UpdateView& view, package::Settings& settings,
               package::DeviceDescription& devices, PortTable& ports,
               std::vector<std::string> firmwareFiles);
  ~UpdateEngine();
  UpdateEngine(const UpdateEngine&) = delete;
  UpdateEngine& operator=(const UpdateEngine&) = delete;

  // Puts the state machine on the event chain (first handler) and resets the run fields.
  void Install();
  // Programming paths built by later parts; the default ends such a run as a failure.
  void SetPaths(ProgrammingPaths* paths);

  core::EventRecord HandleUpdateEvent(core::EventQueue& sender, core::EventRecord record);
  // The window-message bridge: received data and line errors of the serial ports.
  void OnWindowMessage(uint32_t message, uintptr_t wParam);

  bool SearchPorts(bool advance);
  void ParseReplies(int32_t portNumber);
  bool IdentifyDevice();
  std::string ReadOfferedVersion(const std::string& pattern, const std::string& fileName);
  void ReportNotFound();
  void SetInstrumentClock(bool secondsMode);
  void FinishRun(bool sendFinal);
  void StartSecondaryRoute();
  // Ends the programming step as a failure and posts code (10021 or 10047) for its report.
  // From then on no prompt or answer of this run leads to the success message.
  void ProgrammingFailed(int32_t code);
  // Ends the run as a failure with a catalogue message (log and error box); OK starts anew.
  void RunFailed(messages::MessageId why);

  // How long the new firmware may take to greet after a programming: a slow instrument
  // restarts within a few seconds.
  static constexpr uint32_t kGreetingTimeoutMs = 30000;

  // Writes a command to the active port and, when asked, to the debug log.
  void Send(const std::string& command, bool log = true);
  // Expands a message's placeholders with the current run's values and appends it to the log.
  void Append(const std::string& message);
  std::string Expand(const std::string& message) const;
  void LogLine(const std::string& text);
  int32_t Language() const;
  // True when the instrument's main firmware is older than the offered one (or equal while
  // ForceSameVersion is set).
  bool MainOlder() const;
  bool SecondaryOlder() const;

  core::EventCore& Events() { return events_; }
  UpdateView& View() { return view_; }
  PortTable& Ports() { return ports_; }
  package::DeviceDescription& Devices() { return devices_; }
  const package::Settings& Settings() const { return settings_; }
  serial::TComPort* ActiveComPort() const;

  DownloadContext Context;
  RunState Run;
  int32_t DebugMode = 0;
  int32_t VersionCheck = 1;
  std::vector<std::string> FirmwareFiles;

 private:
  void StartRun();
  void OnResponseTimeout();
  void OnGreetingTimeout();
  // Marks the run failed: the step ends and every timer of the run stops.
  void EndAsFailed();
  void ReportProgrammingFailure(int32_t code);
  // Runs an MSP430 loader job; on success the run waits (bounded) for the instrument's greeting,
  // on failure the programming fails with failCode.
  void RunLoader(const Msp430Call& call, int32_t failCode);
  // A greeting while a loader runs is held; returns true when the event was taken that way.
  bool HoldGreeting(int32_t code);
  void AwaitGreeting();
  void StopGreetingTimer();
  // A greeting that ends the wait for the instrument after programming.
  bool EndsGreetingWait(int32_t code) const;
  bool HandleEvent(const core::EventRecord& record);
  bool HandleIdentAnswer(const core::EventRecord& record);
  void OnSerialNumber(const std::string& text);
  void AdvanceSteps();
  void OnVersionCheck(int32_t stage);
  void OnProgramMsp430();
  void OnRepeatMsp430();
  void OnWinCe();
  void OnSecondaryDecision();
  void ProgramSecondary();
  void OnLineError(int32_t portNumber);
  // A port whose device went away: reported once, and left out while the search runs.
  void OnPortLost(int index, int32_t portNumber);
  void SendIdentRow();
  void CloseOtherPorts();
  // Port search steps.
  void NormalAttempt();
  void BootLoaderAttempt();
  void ShowPowerCycleHint();
  // Identification steps.
  int32_t SelectDeviceEntry(size_t rememberedLength) const;
  void FillContext(int32_t entry);
  bool ReportWrongDevice();
  void AdjustSensorIdentity(bool& hasSensor, size_t& rememberedLength);
  bool FirmwarePresent() const;
  bool FinishSensorIdentity(bool hasSensor);
  void ShowIdentity(int32_t entry);
  void ReadOfferedVersions();
  bool DecideVersions();

  core::EventCore& events_;
  UpdateView& view_;
  package::Settings& settings_;
  package::DeviceDescription& devices_;
  PortTable& ports_;
  ReplyParser replies_;
  ProgrammingPaths defaultPaths_;
  ProgrammingPaths* paths_ = &defaultPaths_;
};

}  // namespace update
