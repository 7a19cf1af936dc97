// The programming paths the state machine hands a run to. Each path is reached through one
// place here, so a loader plugs in by implementing its operation. Programming from the boot
// loader, the further files, the failure report and the air-pressure upload are the engine's
// own (update/programming_flows.h); their defaults here run them.
#pragma once

#include <cstdint>
#include <string>

namespace update {

class UpdateEngine;

// Which MSP430 job the state machine starts.
enum class Msp430Job {
  kMain,       // ev::kProgramMsp430: the main firmware
  kRepeat,     // ev::kRepeatMsp430: the retry of the main firmware
  kSecondary,  // ev::kSecondaryDecision: the secondary processor
};

struct Msp430Call {
  Msp430Job job;
  int32_t bslMode;   // BslMode, or 1 for the secondary processor
  std::string file;  // MainFile or SecondFile
  bool syncFirst;    // the boot loader is synchronised before its version is asked
  bool altEntry;     // the entry prompt is answered with the alternative command (an instrument
                     // with its sensor present), else with the default password
};

class ProgrammingPaths {
 public:
  virtual ~ProgrammingPaths() = default;

  // Classic or F5xx loader (chosen by ProzTyp); non-zero on success.
  virtual int32_t RunMsp430(UpdateEngine& engine, const Msp430Call& call) = 0;
  // WinCE transfer of the main file; non-zero on success.
  virtual int32_t RunWinCe(UpdateEngine& engine, const std::string& file) = 0;
  // External loader program of DeviceKind; 0 on success (the program's exit code).
  virtual int32_t RunExternalLoader(UpdateEngine& engine, const std::string& file) = 0;
  // Basic-Loader terminal (ev::kStartTerminal); runs by itself from then on.
  virtual void StartTerminal(UpdateEngine& engine) = 0;
  // Menu-family (ev::kBootFrame) and bench-family (ev::kBootByte) programming from the boot
  // loader.
  virtual void StartMenuProgramming(UpdateEngine& engine);
  virtual void StartBenchProgramming(UpdateEngine& engine);
  // Further files of the download list after the main firmware; false when nothing started.
  virtual bool StartMultiFile(UpdateEngine& engine);
  // Failure of a programming (ev::kProgrammingFailed offers a retry, ev::kSecondaryFailed does
  // not).
  virtual void ReportFailure(UpdateEngine& engine, int32_t code);
  // Air-pressure upload at the end of a run (the handler FinishRun adds).
  virtual void StartAirPressure(UpdateEngine& engine);
};

}  // namespace update
