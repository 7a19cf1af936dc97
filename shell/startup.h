// The start-up steps that decide whether the window opens at all: reading Update.ini and
// ProgDevice.ini. Either missing ends the program before the window is shown.
#pragma once

#include <filesystem>
#include <optional>

#include "shell/update_form.h"

namespace shell {

// Reads Update.ini (settings folder, else workingFolder) and ProgDevice.ini (workingFolder). On
// failure the error box has been shown and nothing is returned.
std::optional<FormOptions> ReadStartupFiles(const std::filesystem::path& workingFolder,
                                            const std::filesystem::path& programFolder);

}  // namespace shell
