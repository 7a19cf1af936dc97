// The program folder on POSIX systems: from the path the program was started by.
#include "platform/program_folder.h"

#include <cstdlib>
#include <sstream>
#include <system_error>

namespace platform {

std::filesystem::path ProgramFolder(const std::string& argv0) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (argv0.find('/') != std::string::npos) {
    return fs::absolute(fs::path(argv0), error).parent_path();
  }
  // Started through PATH: the first folder that holds the name.
  if (const char* path = std::getenv("PATH")) {
    std::stringstream folders(path);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
      if (folder.empty()) continue;
      if (fs::exists(fs::path(folder) / argv0, error)) return fs::absolute(folder, error);
    }
  }
  return fs::current_path(error);
}

}  // namespace platform
