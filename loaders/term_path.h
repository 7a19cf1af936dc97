// The Basic-Loader terminal as the engine's programming path for the secondary processor.
#pragma once

#include <memory>

#include "loaders/term_prog.h"
#include "update/engine.h"

namespace loaders {

// Starts a fresh terminal on the engine's active port (the one of an earlier run goes). When it
// is done the run goes on: after "programmed" the engine waits for the new firmware's greeting,
// after an abort the programming has failed.
void StartTerminalPath(update::UpdateEngine& engine, std::unique_ptr<TTermProg>& terminal);

}  // namespace loaders
