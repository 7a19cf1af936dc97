// The WinCE path of the update engine: one transfer object per run, created, run and destroyed.
#pragma once

#include <string>

#include "update/run_host.h"

namespace loaders {

// Transfers file and the download list to the instrument on the run's port.
update::LoaderResult RunWinCeTransfer(update::RunHost& run, const std::string& file);

}  // namespace loaders
