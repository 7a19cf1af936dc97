#pragma once

#include <filesystem>
#include <string>

namespace platform {

// The folder of the executable as it was started (argv[0]): a link to the program placed in a
// firmware package counts as living in the package, so it lists that package's files. On Windows
// the folder of the program file the system started (argv[0] is not needed there).
std::filesystem::path ProgramFolder(const std::string& argv0);

}  // namespace platform
