// The WinCE path of the update engine: one transfer object per run, created, run and destroyed.
#pragma once

#include <cstdint>
#include <string>

namespace update {
class UpdateEngine;
}

namespace loaders {

// Transfers file and the download list to the instrument on the engine's active port; non-zero
// on success.
int32_t RunWinCeTransfer(update::UpdateEngine& engine, const std::string& file);

}  // namespace loaders
