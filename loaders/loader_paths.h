// The programming paths of the update engine with every loader plugged in: the MSP430 boot
// loaders and, each in its own section, the Basic-Loader terminal, the WinCE transfer and the
// external loader programs. The programming from the boot loader, the further files, the retry
// and the air-pressure upload keep the engine's own flows.
#pragma once

#include <memory>

#include "loaders/term_path.h"
#include "loaders/wince_path.h"
#include "msp430/msp430_paths.h"
#include "update/external_loader.h"

namespace loaders {

class LoaderPaths : public msp430::Msp430Paths {
 public:
  // --- Basic-Loader terminal ---
  void StartTerminal(update::UpdateEngine& engine) override {
    StartTerminalPath(engine, terminal_);
  }
  // No more blocks go out; the window calls it before it closes the ports.
  void StopTerminal() {
    if (terminal_) StopTermProg(*terminal_);
  }

  // --- WinCE transfer ---
  int32_t RunWinCe(update::UpdateEngine& engine, const std::string& file) override {
    return RunWinCeTransfer(engine, file);
  }

  // --- External loader programs ---

  // The program (or M16 loader library) of the engine's device kind, with the port handed
  // over while it runs; 0 when the file was programmed.
  int32_t RunExternalLoader(update::UpdateEngine& engine, const std::string& file) override {
    return update::ExternalLoaders(engine, ExternalLoaderSetup).Run(file);
  }
  // Where the programs are and how they are started; the defaults are the system's.
  update::ExternalLoaderSetup ExternalLoaderSetup;

 private:
  std::unique_ptr<TTermProg> terminal_;
};

}  // namespace loaders
