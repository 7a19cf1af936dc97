// The programming paths of the update engine with every loader plugged in: the MSP430 boot
// loaders and, each in its own section, the Basic-Loader terminal, the WinCE transfer, the
// external loader programs and the programming from the boot loader. A path whose loader is not
// built keeps the default of update::ProgrammingPaths, which ends the run as a failure.
#pragma once

#include "msp430/msp430_paths.h"
#include "update/external_loader.h"

namespace loaders {

class LoaderPaths : public msp430::Msp430Paths {
 public:
  // --- Basic-Loader terminal ---

  // --- WinCE transfer ---

  // --- External loader programs ---

  // The program (or M16 loader library) of the engine's device kind, with the port handed
  // over while it runs; 0 when the file was programmed.
  int32_t RunExternalLoader(update::UpdateEngine& engine, const std::string& file) override {
    return update::ExternalLoaders(engine, ExternalLoaderSetup).Run(file);
  }
  // Where the programs are and how they are started; the defaults are the system's.
  update::ExternalLoaderSetup ExternalLoaderSetup;

  // --- Programming from the boot loader, further files, retry, air pressure ---

  // ---
};

}  // namespace loaders
