// Where the program finds its firmware package, and the start-up texts that say where it looked.
// A program that lives inside a package (ProgDevice.ini beside it, or a link to it there) lists
// that folder's firmware; an installed program works on the folder it was started in, or on the
// one named with --package.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace shell {

// --package DIR: DIR becomes the working folder. Empty on success, else why it cannot.
std::string EnterPackageFolder(const std::string& folder, int language);

// The folder whose firmware files are listed (see above).
std::filesystem::path FirmwareFolder(const std::filesystem::path& programFolder,
                                     const std::filesystem::path& workingFolder, bool packageGiven);

// The language before Update.ini is read: 0 (German) under a German desktop locale, else 1.
int DesktopLanguage();

// True when the folder holds a package's Update.ini (there, or in its settings folder): the
// window then opens on it rather than asking for a package folder.
bool HoldsPackage(const std::filesystem::path& folder);

// Where the package of a start came from; it decides what a missing file's text advises.
enum class PackageSource {
  Named,   // the working folder or --package: start elsewhere or name the folder
  Chosen,  // picked in the window's folder dialog: choose another folder or cancel
};

// An error of the package file readers, in the language: a missing Update.ini or
// ProgDevice.ini is named with the folders searched and what to do; other texts stay as they
// are.
std::string StartupErrorText(std::string_view text, const std::filesystem::path& workingFolder,
                             int language, PackageSource source = PackageSource::Named);

// The answer of a folder dialog under automation, for every window toolkit's dialog:
// UPDATE_AUTO_FOLDER=DIR answers the program's first dialog with DIR and any later one with an
// empty text (cancel); UPDATE_AUTO_ANSWER alone cancels every dialog. Nothing when a person
// answers.
std::optional<std::string> AutomaticFolderChoice();

}  // namespace shell
