// A file many programs append lines to at once (the run record): each line goes in whole, under
// an exclusive lock, in one write at the file's end, so two programs never mix their lines.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

// Appends line (its line end included) to file, creating the file and its folder when missing;
// a file that is still empty gets header first, in the same write. False with the system's
// reason in error when the line could not be written whole.
bool AppendWholeLine(const std::filesystem::path& file, const std::string& header,
                     const std::string& line, std::string& error);

// The user's folder for application data: $XDG_DATA_HOME (else ~/.local/share) on POSIX systems,
// the local application data folder on Windows. Empty when the system names none.
std::filesystem::path UserDataFolder();

}  // namespace platform
