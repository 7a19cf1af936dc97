// The window's own way to its firmware package when it is started without one, as from the
// desktop menu: the package folder that worked last time, else a folder dialog. Each window
// toolkit implements these (shell/package_choice.cpp with Qt, winshell/ on Win32); the start-up
// logic that uses them (shell/startup.cpp) is shared.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace shell {

// The package folder the window last opened on (kept in the user's settings of this program:
// $XDG_CONFIG_HOME/instrument-updater/update.conf on Linux), empty when none is kept.
std::filesystem::path RememberedPackageFolder();
void RememberPackageFolder(const std::filesystem::path& folder);

// Asks for the package folder with a folder dialog that starts in start; nothing when the user
// cancels. For automation (tests, scripts without a person): UPDATE_AUTO_FOLDER=DIR makes the
// first dialog of the program choose DIR at once; any later dialog, and every dialog under
// UPDATE_AUTO_ANSWER without UPDATE_AUTO_FOLDER, cancels itself, so that a folder without a
// package ends the program instead of being offered again and again. The dialog still opens,
// and what it did is written to standard error.
std::optional<std::filesystem::path> ChoosePackageFolder(const std::filesystem::path& start,
                                                         int language);

// An error box of the start-up, before there is a window to own it (automation as for the
// window's boxes).
void ShowStartupBox(int language, std::string_view caption, std::string_view text);

}  // namespace shell
