// The update engine: one run from OK to the final message. Its handler HandleUpdateEvent is the
// first on the event chain; it reacts to OK, to the instrument's answers, to its own follow-up
// events and to the answer time-out, searches the ports, identifies the instrument, checks the
// versions and hands the run to the programming path of the device kind. Where each event leads
// from each step of the run is written down in update/state_machine.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/event_core.h"
#include "package/device_file.h"
#include "package/messages.h"
#include "package/settings.h"
#include "update/air_pressure.h"
#include "update/display.h"
#include "update/download_context.h"
#include "update/port_table.h"
#include "update/programming_paths.h"
#include "update/reply_parser.h"
#include "update/run_host.h"
#include "update/run_state.h"
#include "update/update_view.h"

namespace update {

struct ProgrammingFlows;

class UpdateEngine : public RunHost {
 public:
  UpdateEngine(core::EventCore& events, UpdateView& view, package::Settings& settings,
               package::DeviceDescription& devices, PortTable& ports,
               std::vector<std::string> firmwareFiles);
  ~UpdateEngine() override;
  UpdateEngine(const UpdateEngine&) = delete;
  UpdateEngine& operator=(const UpdateEngine&) = delete;

  // Puts the state machine on the event chain (first handler) and resets the run fields.
  void Install();
  // The programming paths of the device kinds, with every loader plugged in; set before Install.
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
  // Ends the programming step as a failure and posts code (ev::kProgrammingFailed or
  // ev::kSecondaryFailed) for its report.
  // From then on no prompt or answer of this run leads to the success message.
  void ProgrammingFailed(int32_t code);
  // Ends the run as a failure with a catalogue message (log and error box); OK starts anew.
  void RunFailed(messages::MessageId why);
  // Waits, bounded, for the instrument's next words: the new firmware's greeting after a
  // programming, or the prompt that answers a switch to a loader or the clock command. When
  // they do not come the run fails with why.
  void AwaitGreeting(messages::MessageId why = messages::MSG_NO_GREETING);
  void RunFailedText(const std::string& text);
  // For the run record: where the run failed and the code that says more. A loader that knows
  // its own step notes it before the engine fails the run; the first note of a run stands.
  void NoteFailure(const std::string& step, int32_t code);
  // Notes the step a loader failed at, where it names one; true when the loader programmed.
  bool NoteLoaderResult(const LoaderResult& result);

  // Programming from the boot loader, the further files, the failure report with its retry
  // and the air-pressure upload (update/programming_flows.h).
  ProgrammingFlows& Flows() { return *flows_; }
  ProgrammingPaths& Paths() { return *paths_; }
  // A programming from the boot loader begins (from the menus or the port search): whatever
  // an earlier run left failed or pending does not carry over to it.
  void BeginBootLoaderProgramming();
  // OK after a failed programming: the programming path of the run starts again (the external
  // loader when its program had run, else the retry event of DeviceKind).
  void RetryRun();
  // The external program of the run has stored a firmware; a retry runs the external loader.
  void MarkExternalPending();
  // A programming from the boot loader has ended: no prompt of the instrument moves a step.
  void EndSteps();
  // The air-pressure upload moves the row on: -2 value sent, -1 done.
  void SetAirPressureIndex(int32_t index);
  // A programming started from the menus before any port search: the first port of the table
  // is the instrument's. False when there is no port to use.
  bool UseFirstPortIfNone();

  // How long the new firmware may take to greet after a programming: a slow instrument
  // restarts within a few seconds.
  static constexpr uint32_t kGreetingTimeoutMs = 30000;

  // Writes a command to the active port and, when asked, to the debug log.
  void Send(const std::string& command, bool log = true);
  // Expands a message's placeholders with the current run's values and appends it to the log.
  void Append(const std::string& message);
  std::string Expand(const std::string& message) const override;
  void LogLine(const std::string& text) override;
  int32_t Language() const override;
  // True when the instrument's main firmware is older than the offered one (or equal while
  // ForceSameVersion is set).
  bool MainOlder() const;
  bool SecondaryOlder() const;

  core::EventCore& Events() override { return events_; }
  UpdateView& View() override { return view_; }
  PortTable& Ports() { return ports_; }
  package::DeviceDescription& Devices() { return devices_; }
  const package::Settings& Settings() const { return settings_; }
  serial::TComPort* ActiveComPort() const override;

  // What the loaders read of the run and tell it back (update/run_host.h).
  int32_t ActiveComIndex() const override { return run_.ActiveComIndex; }
  const package::DeviceDescription& Devices() const override { return devices_; }
  const DownloadContext& Record() const override { return record_; }
  bool ForceSameVersion() const override { return run_.ForceSameVersion; }
  void RememberPasswordWord(int32_t word) override;
  void MarkSecondFile() override { record_.SecondFileMarked = true; }
  // The Basic-Loader terminal has ended: after a programming the run waits for the new
  // firmware's greeting, else the secondary programming has failed.
  void LoaderEnded(const LoaderResult& result) override;

  // The calibration rows of the run's air-pressure value (the package's or the built-in ones).
  std::span<const package::PressureRow> PressureRows() const { return pressureTable_.rows; }

  // The run's state, for the paths and the window to read; the engine alone changes it.
  const RunState& State() const { return run_; }
  // Stops the answer time-out of the port search and the identification.
  void StopResponseTimer();

  // What the programming from the boot loader sets in the run's record
  // (update/menu_programming.cpp). The instrument of a device row, before its identification.
  void PresetInstrument(const package::DeviceEntry& entry);
  // The name shown for an instrument whose row is not yet known.
  void NameInstrument(const std::string& name);
  // The boot loader waits already: the loaders start it without the dialogue.
  void EnterBenchMode() { record_.BenchMode = true; }
  // The bench family's image, and the F5xx loader where its boot loader answered as one.
  void ChooseBenchImage(bool f5xx, const std::string& file);

  int32_t DebugMode = 0;
  int32_t VersionCheck = 1;
  std::vector<std::string> FirmwareFiles;

 private:
  // The run's record: the instrument's identity, the chosen files and the versions. Loaders read
  // it through Record(); it changes through the operations above and the engine's own steps.
  DownloadContext record_;
  // Tests set a run's state up through this (tests/support/run_state_access.h).
  friend struct RunStateAccess;
  using EventAction = void (UpdateEngine::*)(const core::EventRecord&);

  void StartRun();
  void OnResponseTimeout();
  void OnGreetingTimeout();

  // The state machine (update/state_machine.cpp): where each event leads, what a prompt does
  // in each step, and the handlers that set the step.
  struct Route;
  bool HandleEvent(const core::EventRecord& record);
  static const Route* RouteOf(int32_t code);
  void AdvanceSteps();
  // The prompt rows of the step sequence (update/state_machine.cpp).
  struct PromptRow;
  static std::span<const PromptRow> PromptRows();
  void MoveTo(SequenceStep step);
  void StepOn();
  // The first step of a run: the identification when the instrument needs no dialogue opened.
  void RestartSteps();
  // Marks the run failed: the step ends and every timer of the run stops.
  void EndAsFailed();
  // A greeting while a loader runs is held; returns true when it was taken that way.
  bool HoldGreeting(int32_t code);
  // A greeting that ends the wait for the instrument after programming.
  bool EndsGreetingWait(int32_t code) const;
  // An answer counts once, for the command it answers: false (and a note in the debug log) for
  // a repeat of the same code or an identification answer whose command is not the one due.
  bool TakeAnswer(int32_t code, int32_t identRow);
  // A prompt moves a step only when a command or a greeting awaits it (the search takes each).
  bool TakePrompt();
  // Sends the clock command and waits, bounded, for the instrument to answer it.
  void SendClock(bool secondsMode);
  void OnPrompt(const core::EventRecord& record);
  void OnVersionCheckMain(const core::EventRecord& record);
  void OnVersionCheckKind3(const core::EventRecord& record);
  void OnVersionCheck(VersionCheckStage stage);
  void OnProgramMsp430(const core::EventRecord& record);
  void OnRepeatMsp430(const core::EventRecord& record);
  void OnWinCe(const core::EventRecord& record);
  void OnSecondaryDecision(const core::EventRecord& record);
  void OnProgrammedClock(const core::EventRecord& record);
  void OnProgrammedEnd(const core::EventRecord& record);
  void OnAnswer920(const core::EventRecord& record);

  // The steps' work (update/run_steps.cpp).
  void SendOpenDialogue();
  void SendFirstIdentRow();
  void RunThirdFile();
  void OnRunExternalLoader(const core::EventRecord& record);
  void OnExternalLoaderDone(const core::EventRecord& record);
  void OnStartTerminal(const core::EventRecord& record);
  void OnBootFrame(const core::EventRecord& record);
  void OnBootByte(const core::EventRecord& record);
  void OnProgrammingFailure(const core::EventRecord& record);
  void OnVariantAnswer(const core::EventRecord& record);
  void OnNoSecondaryAnswer(const core::EventRecord& record);
  void ProgramSecondary();
  // Runs an MSP430 loader job; on success the run waits (bounded) for the instrument's greeting,
  // on failure the programming fails with failCode.
  void RunLoader(const Msp430Call& call, int32_t failCode);
  void StopGreetingTimer();
  void ReportProgrammingFailure(int32_t code);

  // Received bytes, the identification answers and the line (update/engine.cpp).
  void OnReceived(const core::EventRecord& record);
  void OnPcbAnswer(const core::EventRecord& record);
  void OnDeviceNrAnswer(const core::EventRecord& record);
  void OnVersionAnswer(const core::EventRecord& record);
  void OnSerialAnswer(const core::EventRecord& record);
  void OnSerialNumber(const std::string& text);
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
  // False, after telling the user, when a file the package names could leave its folder or read
  // as a loader program's option.
  bool FileNamesInsidePackage();
  void AdjustSensorIdentity(bool& hasSensor, size_t& rememberedLength);
  bool FirmwarePresent() const;
  bool FinishSensorIdentity(bool hasSensor);
  void ShowIdentity(int32_t entry);
  void ReadOfferedVersions();
  bool DecideVersions();

  RunState run_;
  PressureTable pressureTable_;
  core::EventCore& events_;
  UpdateView& view_;
  package::Settings& settings_;
  package::DeviceDescription& devices_;
  PortTable& ports_;
  ReplyParser replies_;
  ProgrammingPaths* paths_ = nullptr;
  std::unique_ptr<ProgrammingFlows> flows_;
};

}  // namespace update
