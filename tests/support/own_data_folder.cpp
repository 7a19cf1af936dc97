// Every test program keeps the run records (and gang logs) the window and update-cli write by
// default in a folder of its own, removed at its end: never in the user's data folder.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace {

class OwnDataFolder {
 public:
  OwnDataFolder() {
    std::error_code error;
    folder_ = std::filesystem::temp_directory_path(error) /
              ("updater-test-data-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_, error);
#ifdef _WIN32
    _putenv_s("XDG_DATA_HOME", folder_.string().c_str());
#else
    setenv("XDG_DATA_HOME", folder_.c_str(), 1);
#endif
  }
  ~OwnDataFolder() {
    std::error_code error;
    std::filesystem::remove_all(folder_, error);
  }

 private:
  std::filesystem::path folder_;
};

const OwnDataFolder ownDataFolder;

}  // namespace
