// The programming paths of the update engine with every loader plugged in: the MSP430 boot
// loaders and, each in its own section, the Basic-Loader terminal, the WinCE transfer and the
// external loader programs. The programming from the boot loader, the further files, the retry
// and the air-pressure upload keep the engine's own flows.
#pragma once

#include <memory>

#include "loaders/external/external_loader.h"
#include "loaders/msp430/msp430_paths.h"
#include "loaders/terminal/term_path.h"
#include "loaders/wince/wince_path.h"

namespace loaders {

class LoaderPaths : public msp430::Msp430Paths {
 public:
  // --- Basic-Loader terminal ---
  void StartTerminal(update::RunHost& run) override { StartTerminalPath(run, terminal_); }
  // No more blocks go out; the window calls it before it closes the ports.
  void StopTerminal() {
    if (terminal_) StopTermProg(*terminal_);
  }

  // --- WinCE transfer ---
  update::LoaderResult RunWinCe(update::RunHost& run, const std::string& file) override {
    return RunWinCeTransfer(run, file);
  }

  // --- External loader programs ---

  // The program (or M16 loader library) of the run's device kind, with the port handed over
  // while it runs.
  update::LoaderResult RunExternalLoader(update::RunHost& run, const std::string& file) override {
    return ExternalLoaders(run, ExternalLoaderSetup).Result(file);
  }
  // Where the programs are and how they are started; the defaults are the system's.
  loaders::ExternalLoaderSetup ExternalLoaderSetup;

 private:
  std::unique_ptr<TTermProg> terminal_;
};

}  // namespace loaders
