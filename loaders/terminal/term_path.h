// The Basic-Loader terminal as the engine's programming path for the secondary processor.
#pragma once

#include <memory>

#include "loaders/terminal/term_prog.h"
#include "update/run_host.h"

namespace loaders {

// Starts a fresh terminal on the run's port (the one of an earlier run goes). When it is done it
// tells the run (RunHost::LoaderEnded): programmed after the boot loader's "programmed", failed
// after an abort.
void StartTerminalPath(update::RunHost& run, std::unique_ptr<TTermProg>& terminal);

}  // namespace loaders
