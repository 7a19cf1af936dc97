// The start-up steps that decide whether the window opens at all: finding the package folder,
// reading Update.ini and ProgDevice.ini. Without a package the program ends before the window is
// shown.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "shell/form_options.h"
#include "shell/package_folder.h"

namespace shell {

// Reads Update.ini (settings folder, else workingFolder) and ProgDevice.ini (workingFolder). On
// failure the error box has been shown and nothing is returned; source decides what its text
// advises.
std::optional<FormOptions> ReadStartupFiles(const std::filesystem::path& workingFolder,
                                            const std::filesystem::path& programFolder,
                                            PackageSource source = PackageSource::Named);

// Finds the package and reads its files. packageOption is the folder given with --package
// (empty without the option): it must hold the package. Otherwise the working folder does when
// it holds an Update.ini; else the folder remembered from the last start that worked, and else
// the one the user chooses in a folder dialog, asked again after a folder without a package.
// The folder the window opens on becomes the working folder and is remembered. Nothing is
// returned when the user cancels or a named package cannot be read (its box has been shown).
std::optional<FormOptions> OpenPackage(const std::string& packageOption,
                                       const std::filesystem::path& programFolder);

}  // namespace shell
