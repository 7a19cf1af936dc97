// The programming paths the state machine hands a run to. Each path is reached through one
// place here, so a loader plugs in by implementing its operation. Programming from the boot
// loader, the further files, the failure report and the air-pressure upload are the engine's
// own (update/programming_flows.h); their defaults here run them.
#pragma once

#include <cstdint>
#include <string>

#include "update/loader_result.h"
#include "update/run_host.h"

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

  // The loaders. Each returns how its run ended; the terminal runs by itself once started and
  // tells the run through RunHost::LoaderEnded.
  // Classic or F5xx loader (chosen by ProzTyp).
  virtual LoaderResult RunMsp430(RunHost& run, const Msp430Call& call) = 0;
  // WinCE transfer of the main file and the download list.
  virtual LoaderResult RunWinCe(RunHost& run, const std::string& file) = 0;
  // External loader program (or the M16 loader library) of DeviceKind.
  virtual LoaderResult RunExternalLoader(RunHost& run, const std::string& file) = 0;
  // Basic-Loader terminal (ev::kStartTerminal).
  virtual void StartTerminal(RunHost& run) = 0;

  // The engine's own flows:
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
