// The parts of the update sequence that run as event handlers of their own beside the state
// machine: programming an instrument straight from its boot loader (from the menus, or when
// the port search meets a boot loader), the transfer of the package's further files, the
// failure report with its retry, and the air-pressure upload at the end of a run. Each stands on
// a core::RunScaffold: its handler is on the chain while it runs and comes off, with its timer,
// when its part is over; a new run removes whatever is left of an old one.
//
// The phases of the handlers beside the state machine, in one place:
//   menu programming   kIdle -> kMenu (menu family) or kBench (bench family) -> kLoading (a loader
//                      holds the line) -> kGreeting (programmed, until the new firmware greets,
//                      bounded) -> kIdle; a failure hands over to the failure report
//   further files      off -> one file announced, one packet per prompt (bounded) -> the next
//                      file -> off after the last, or on a missing prompt (a failed run)
//   failure report     off -> waiting for OK (a programming that may be repeated) -> the retry
//   air pressure       off -> dialogue opened -> value sent (RunState::AirPressureIndex -2) ->
//                      end command sent (-1) -> end command again, the run finishes -> off;
//                      every prompt is bounded
//   terminal           (loaders/terminal) listening -> transferring blocks -> programmed or
//                      aborted; ended through RunHost::LoaderEnded
//   WinCE transfer     (loaders/wince) one step per acknowledgement, from the speed switch to the
//                      speed restored; returns its LoaderResult
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/event_queue.h"
#include "core/run_scaffold.h"

namespace update {

// How long the instrument may take to answer one packet or command of a flow with its prompt.
inline constexpr int32_t kPromptTimeoutMs = 10000;

class UpdateEngine;

// Programming from the boot loader: the menu-selectable family through the external loader of
// its DeviceKind, the bench family through the MSP430 loaders.
class MenuProgramming {
 public:
  // The bench family's image when the device entry names no ProgDefFile.
  static constexpr const char* kBenchFile = "BenchXXX.txt";
  // How long the menu family's instrument needs to store its new firmware.
  static constexpr int32_t kStoreMs = 9000;
  // The bench family's instrument after its programming, until it greets.
  static constexpr int32_t kBenchSettleMs = 3000;

  explicit MenuProgramming(UpdateEngine& engine);
  ~MenuProgramming();
  MenuProgramming(const MenuProgramming&) = delete;
  MenuProgramming& operator=(const MenuProgramming&) = delete;

  // The menu entries; tag selects the device row. Without a sender (a boot loader answered
  // during the search) the tag is 0.
  void TG480eProgrammingClick(int32_t tag = 0);
  void BenchXXXClick(int32_t tag = 0);
  core::EventRecord MenuProgrammingHandler(core::EventQueue& sender, core::EventRecord record);
  bool Active();
  // Off the chain, timer stopped.
  void End();

 private:
  // kLoading: a loader holds the line; kGreeting: programmed, until the new firmware greets.
  enum class Phase { kIdle, kMenu, kBench, kLoading, kGreeting };

  bool Preset(int32_t row);
  void ProgramMenuFamily();
  void ProgramBenchFamily();
  void OnGreeting();
  void OnNoGreeting();

  UpdateEngine& engine_;
  // The handler on the chain while the flow runs, and its timer.
  core::RunScaffold life_;
  Phase phase_ = Phase::kIdle;
  int32_t greetingTimer_ = 0;
};

// The further files of the download list, one packet of up to 255 bytes per prompt.
class MultiFileTransfer {
 public:
  static constexpr size_t kBlock = 255;

  explicit MultiFileTransfer(UpdateEngine& engine);
  ~MultiFileTransfer();
  MultiFileTransfer(const MultiFileTransfer&) = delete;
  MultiFileTransfer& operator=(const MultiFileTransfer&) = delete;

  bool StartMultiFile();
  bool NextMultiFile();
  core::EventRecord MultiFileHandler(core::EventQueue& sender, core::EventRecord record);
  bool Active();
  void End();

 private:
  bool OpenEntry();
  void SendBlock();
  void Fail(const std::string& why);

  UpdateEngine& engine_;
  // The handler on the chain while the flow runs, and its timer.
  core::RunScaffold life_;
  int32_t MultiFileIndex = 0;
  int64_t MultiFileRemaining = 0;
  bool MultiFileActive = false;
  std::FILE* MultiFileStream = nullptr;
  int32_t promptTimer_ = 0;
};

// After a failed programming: the abort text, and OK takes the programming up again.
class FailureReport {
 public:
  explicit FailureReport(UpdateEngine& engine);
  ~FailureReport();
  FailureReport(const FailureReport&) = delete;
  FailureReport& operator=(const FailureReport&) = delete;

  void ReportFailure(int32_t code);
  core::EventRecord RetryHandler(core::EventQueue& sender, core::EventRecord record);
  bool Active();
  void End();

 private:
  UpdateEngine& engine_;
  // The handler on the chain while the flow runs, and its timer.
  core::RunScaffold life_;
};

// The air-pressure calibration value, then the end command twice, one per prompt.
class AirPressureUpload {
 public:
  explicit AirPressureUpload(UpdateEngine& engine);
  ~AirPressureUpload();
  AirPressureUpload(const AirPressureUpload&) = delete;
  AirPressureUpload& operator=(const AirPressureUpload&) = delete;

  void Start();
  core::EventRecord AirPressureHandler(core::EventQueue& sender, core::EventRecord record);
  bool Active();
  void End();

 private:
  UpdateEngine& engine_;
  // The handler on the chain while the flow runs, and its timer.
  core::RunScaffold life_;
  int32_t promptTimer_ = 0;
};

struct ProgrammingFlows {
  explicit ProgrammingFlows(UpdateEngine& engine)
      : menu(engine), multiFile(engine), failure(engine), airPressure(engine) {}
  // What an earlier run left on the chain goes when a new run starts.
  void EndAll() {
    menu.End();
    multiFile.End();
    failure.End();
    airPressure.End();
  }

  MenuProgramming menu;
  MultiFileTransfer multiFile;
  FailureReport failure;
  AirPressureUpload airPressure;
};

}  // namespace update
