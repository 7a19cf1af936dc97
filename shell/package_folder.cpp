#include "shell/package_folder.h"

#include <cstdlib>
#include <system_error>

#include "package/messages.h"
#include "package/settings.h"

namespace shell {
namespace {

namespace fs = std::filesystem;

constexpr char kDeviceFileName[] = "ProgDevice.ini";
constexpr char kSettingsFileName[] = "Update.ini";

}  // namespace

std::string EnterPackageFolder(const std::string& folder, int language) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    return messages::Filled(messages::MSG_NOT_A_FOLDER, language, folder);
  }
  fs::current_path(folder, error);
  return error ? folder + ": " + error.message() : std::string();
}

fs::path FirmwareFolder(const fs::path& programFolder, const fs::path& workingFolder,
                        bool packageGiven) {
  if (packageGiven) return workingFolder;
  std::error_code error;
  return fs::exists(programFolder / kDeviceFileName, error) ? programFolder : workingFolder;
}

int DesktopLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    return std::string_view(value).substr(0, 2) == "de" ? 0 : 1;
  }
  return 1;
}

bool HoldsPackage(const fs::path& folder) {
  std::error_code error;
  if (const std::string settings = package::SettingsFolder(folder); !settings.empty()) {
    if (fs::is_regular_file(fs::path(settings) / kSettingsFileName, error)) return true;
  }
  return fs::is_regular_file(folder / kSettingsFileName, error);
}

std::string StartupErrorText(std::string_view text, const fs::path& workingFolder, int language,
                             PackageSource source) {
  const messages::MessageId missing = source == PackageSource::Chosen
                                          ? messages::MSG_CHOSEN_FOLDER_NO_PACKAGE
                                          : messages::MSG_PACKAGE_FILE_MISSING;
  if (text == messages::kConfigFile1Missing) {
    std::string folders = workingFolder.string();
    if (const std::string settings = package::SettingsFolder(workingFolder); !settings.empty()) {
      folders = settings + ", " + folders;
    }
    return messages::Filled(missing, language, kSettingsFileName, folders);
  }
  if (text == messages::kConfigFile2Missing) {
    return messages::Filled(missing, language, kDeviceFileName, workingFolder.string());
  }
  return std::string(text);
}

std::optional<std::string> AutomaticFolderChoice() {
  static bool answered = false;
  const char* folder = std::getenv("UPDATE_AUTO_FOLDER");
  const char* answer = std::getenv("UPDATE_AUTO_ANSWER");
  if (folder && *folder) {
    if (answered) return std::string();
    answered = true;
    return std::string(folder);
  }
  if (answer && *answer) return std::string();
  return std::nullopt;
}

}  // namespace shell
