// The run both MSP430 loaders share: read the image, take over the event stream, talk the
// instrument into its boot loader through its command line, switch the line, let the protocol
// run and wait (without spinning) until it has ended; then give the line back, report a failure
// and return the result. The boot-loader part comes through the hooks below; both boot loaders
// supply it on the step chain of step_chain.h.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/event_queue.h"
#include "core/run_scaffold.h"
#include "loaders/run/line_guard.h"
#include "loaders/run/loader_host.h"
#include "package/messages.h"

namespace msp430 {

using loaders::LoaderHost;

// The protocol step under way; it selects the error message of a failed run.
namespace step {
inline constexpr int32_t kNone = 0;
inline constexpr int32_t kSync = 1;
inline constexpr int32_t kVersion = 2;  // also the F5xx device-identifier read
inline constexpr int32_t kBaudRate = 3;
inline constexpr int32_t kPassword = 4;
inline constexpr int32_t kErase = 5;
inline constexpr int32_t kVectorErase = 6;
inline constexpr int32_t kWrite = 8;
inline constexpr int32_t kVerify = 9;
inline constexpr int32_t kStart = 10;
inline constexpr int32_t kPatchRestart = 11;
inline constexpr int32_t kPatchCall = 12;
inline constexpr int32_t kPatchWrite = 13;
inline constexpr int32_t kPatchVerify = 14;
inline constexpr int32_t kMemOffset = 15;
inline constexpr int32_t kOther = 16;         // any code without a message of its own
inline constexpr int32_t kRefused = 17;       // the instrument answered "?"
inline constexpr int32_t kEntryPrompts = 18;  // the entry commands were answered by prompts
inline constexpr int32_t kNoise = 19;         // bytes kept coming, but no answer
}  // namespace step

// The hexadecimal word at the start of text (a 0x prefix allowed), as the instrument names its
// password words; 0 when there is none.
int32_t HexWord(const std::string& text);

// The message of a step code; codes outside step::kSync to step::kMemOffset and step::kRefused to
// step::kNoise count as step::kOther.
messages::MessageId StepMessage(int32_t stepCode);
int32_t NormalStepCode(int32_t stepCode);
// The step's name in the run record ("msp430 write", ...).
const char* StepName(int32_t stepCode);

class Msp430Loader {
 public:
  static constexpr uint32_t kDialogueTimeoutMs = 15000;
  static constexpr uint32_t kResponseTimeoutMs = 5000;
  // Prompts the entry dialogue takes; an instrument that answers its entry commands with more
  // prompts than this never starts its boot loader.
  static constexpr int32_t kMaxEntryPrompts = 3;
  // How long a boot-loader step may go on receiving bytes without an answer among them: every
  // byte restarts the response timer, so without this bound noise would keep a step alive for
  // ever. An answer or a time-out (the step's next attempt) starts the deadline afresh.
  static constexpr uint32_t kStepDeadlineMs = 3 * kResponseTimeoutMs;

  explicit Msp430Loader(const LoaderHost& host);
  // Leaves nothing behind, also when a run was cut short.
  virtual ~Msp430Loader();
  Msp430Loader(const Msp430Loader&) = delete;
  Msp430Loader& operator=(const Msp430Loader&) = delete;

  // One run with the firmware file: programmed when programmed and verified, else failed with
  // the step code (its message shown). Called once per object.
  update::LoaderResult Execute(int32_t bslMode, const std::string& fileName, bool syncFirst,
                               bool altEntry);
  // Writes a command of the instrument's dialogue and logs it; always true.
  bool SendText(const std::string& text);
  // The step code of the last error message shown, 0 when none.
  int32_t GetErrorCode() const { return ErrorCode; }
  // The loader's event handler, on the chain only while Execute runs.
  core::EventRecord OnEvent(core::EventQueue& sender, core::EventRecord record);
  // The error box of the current step.
  void ShowError();

 protected:
  // Reads the image (and whatever else must be known before anything is sent). On false the
  // run is refused and the message has been shown.
  virtual bool LoadImage(const std::string& fileName) = 0;
  // The instrument waits in its boot loader already (bench start).
  virtual void StartInBootLoader() = 0;
  // The instrument's prompt without the alternative entry: the default password word.
  virtual void SetDefaultPassword() = 0;
  // The instrument named its password (ev::kAnswerPassword, ev::kAnswerPasswordB): the password
  // word(s) as text; sends the entry command.
  virtual void SetPasswordText(const std::string& text) = 0;
  virtual bool PasswordIsKnown() const = 0;
  // The instrument confirmed the entry command: switch the line and start the protocol.
  virtual void EnterBootLoader() = 0;
  virtual void ProcessReceived() = 0;
  virtual void HandleTimeout() = 0;
  // The prompt of an instrument without its sensor (NoSensorContinue).
  virtual void OnNoSensorPrompt() {}

  // Boot-loader mode: the response timer replaces the dialogue timer, the line goes to 9600 baud
  // 8E1 and the instrument gets restartMs to start its boot loader.
  void SwitchToBootLoader(int32_t restartMs);
  // Ends the run as a failure: the timers stop, nothing more is sent.
  void FailRun();
  // An answer was taken: the progress moves on and the step's deadline starts afresh.
  void AdvanceProgress();
  void ShowPercent();
  void SetProgressMax(int32_t maximum);
  // A wait that freezes the window (the protocol's fixed delays).
  void Wait(int32_t milliseconds);
  void AppendLog(const std::string& text);
  void ShowBox(const std::string& text);
  // The new firmware's greeting came while the loader still ran: it is logged, and the engine
  // gets it once the run has ended (the loader took the bytes off the line).
  void GreetingHeard(std::span<const uint8_t> bytes);
  std::string EntryCommand() const;
  std::string AltCommand() const;

  LoaderHost host_;
  core::RunScaffold run_;
  // The line as it was before the run, given back on every way out.
  std::optional<loaders::LineGuard> line_;
  bool Failed = false;
  bool Done = false;
  bool InBootLoader = false;
  bool AltEntry = false;
  bool SyncFirst = false;
  int32_t BslMode = 0;
  int32_t TimerId = 0;
  int32_t StepCode = step::kNone;
  int32_t ErrorCode = 0;
  int32_t LanguageIndex = 0;
  int32_t ProgressMax = 0;
  int32_t EntryPrompts = 0;
  int32_t DeadlineTimer = 0;  // the step deadline, in boot-loader mode
  bool Greeted = false;       // the new firmware's greeting was taken by the loader

 private:
  // The response and deadline timers; the instrument's answers and the data-received event.
  core::EventRecord OnTimer(core::EventRecord record);
  core::EventRecord OnUpdateEvent(core::EventRecord record);
  void OnPrompt();
  // A recognised answer of the entry dialogue: its time-out starts again.
  void DialogueAnswered();
  void StopTimers();
  void RestoreLine();
  core::EventHandler Handler();
};

}  // namespace msp430
