// The files a device entry names, as a run takes them: the first item of a ProgFile value and the
// further items that go to the download list, folder patterns ("sub\*.*") expanded in the
// package, and the "@" mark that keeps the line's speed. Also the names of the package's language
// files and manuals. Relative paths are taken from the working folder (the package).
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace package {

// The first comma-separated item of value; the further items (empty ones too) are appended to
// further.
std::string FirstItem(const std::string& value, std::vector<std::string>& further);

// True for an item that names every file of a folder ("sub\*.*").
bool IsFolderPattern(const std::string& item);

// A folder pattern: one name per regular file of the folder (sorted), made of the item's text
// before "*.*" and the file's name. A folder outside the package is not looked into: the item
// itself is returned, for the run to refuse with the other names.
std::vector<std::string> ExpandFolderPattern(const std::string& item);

// The names of the regular files in folder, sorted; none when it cannot be read.
std::vector<std::string> RegularFiles(const std::filesystem::path& folder);

// Removes a trailing "@" and says whether there was one.
bool StripMarker(std::string& file);

// The window's language files, German and English.
inline constexpr std::array<std::string_view, 2> kLanguageFiles = {"Update.Deu", "Update.Eng"};
// The manuals of the help menu by index: 1 for the sensor instruments, plus 2 for English.
inline constexpr std::array<std::string_view, 4> kManualFiles = {
    "Firmwareupdate_Messgeraete.pdf", "Firmwareupdate_SNX_Sensoren.pdf",
    "Firmwareupdate_meters.pdf", "Firmwareupdate_SNX_sensors.pdf"};

}  // namespace package
