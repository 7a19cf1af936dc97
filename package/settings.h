// Update.ini: the user's settings (language, version text, baud rates to try, fixed port). It is
// read at start-up and rewritten when the user changes the language. It lives in the working
// folder or, for a program installed below the program-files folder, in the same place below
// the public folder.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "package/file_report.h"

namespace package {

struct Settings {
  static constexpr int32_t kMaxBaudEntries = 17;
  // Values longer than this are cut when read.
  static constexpr size_t kMaxValueLength = 255;
  // Com takes the port numbers COM1 ... COM256.
  static constexpr int32_t kHighestComNumber = 256;

  int32_t LanguageIndex = 0;  // 0 German, 1 English
  std::string Version;        // shown by the version box and written back
  // Values of BaudTag (0 = 1200 ... 7 = 115200) in the order the port search tries them.
  std::array<int32_t, kMaxBaudEntries> BaudSearchList{};
  int32_t BaudCount = 0;
  uint8_t ComGiven = 0;  // Update.ini names the one port to use
  int32_t ComIndex = 0;  // that port, 0-based (COM3 is 2)
};

// The settings folder for a program started in workingFolder: when the expanded "%ProgramFiles%"
// occurs in it, the same path with that part replaced by the expanded "%PUBLIC%" (created with its
// parents); otherwise, or when "%PUBLIC%" cannot be expanded, an empty text.
std::string SettingsFolder(const std::filesystem::path& workingFolder);
// The expanded "%PUBLIC%"; true when it was set.
bool PublicFolder(std::string& folder);

// Reads Update.ini from the settings folder, else from workingFolder. 0, or -1 after the error
// box "Konfigurationsdatei 1 ..." when neither can be read.
int32_t ReadSettings(const std::filesystem::path& workingFolder, Settings& settings,
                     FileReport& report);
// Rewrites Update.ini with the current language and version string. Lines it does not know stay
// where they are, and the file is replaced atomically. 0, or -1 after an error box.
int32_t WriteSettings(const std::filesystem::path& workingFolder, const Settings& settings,
                      FileReport& report);

}  // namespace package
