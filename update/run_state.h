// The state of one update run: the step of the update sequence and what the run has learned so
// far. Only the engine writes it; the step moves only in update/state_machine.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/messages.h"

namespace update {

// The steps of the update sequence. A prompt of the instrument (ev::kPrompt, ev::kMenuPrompt)
// acts on the current step and then moves the run to the next one; some events set the step
// outright. update/state_machine.cpp holds both tables.
enum class SequenceStep : int32_t {
  kOpenDialogue = 0,        // first prompt: open the command dialogue
  kIdentify = 1,            // second prompt: the first identification command
  kThirdFile = 2,           // the external program of the third file
  kBootLoaderPath = 3,      // the version check that switches to the boot loader
  kExternalLoader = 4,      // the external loader of the main file
  kSecondaryDecision = 5,   // the secondary-processor decision
  kTerminal = 6,            // the Basic-Loader terminal
  kSecondaryAfterMain = 7,  // the secondary-processor decision after the main programming
  kEnded = 8,               // the run has ended or was handed to the multi-file transfer
};

struct RunState {
  SequenceStep UpdateStep = SequenceStep::kOpenDialogue;
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
  // Bounds the wait for the instrument's next words after a send or a programming, and what
  // the run fails with when they do not come.
  int32_t GreetingTimer = 0;
  messages::MessageId GreetingFailure = messages::MSG_NO_GREETING;
  // A command the instrument answers with a prompt has gone out (or a greeting is due); a prompt
  // outside the search that nothing awaits moves no step.
  bool PromptAwaited = false;
  // The answer codes already taken for the command last sent: the same code again is a repeat.
  std::vector<int32_t> AnswersTaken;
  // The identification went through in this run.
  bool Identified = false;
  // The run has reached its end (the success path): nothing it queued carries it on.
  bool Ended = false;
  // For the run record. The instrument had the offered version and was left as it was.
  bool LeftCurrent = false;
  // Where the run failed (a short fixed English name, e.g. "identification", "msp430 write")
  // and the code that says more (a loader's step code or the message shown); the first note of
  // a run stands.
  std::string FailedStep;
  int32_t FailedCode = 0;
};

// The name of a step in the run record.
const char* StepName(SequenceStep step);

}  // namespace update
