#include "package/settings.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>

#include "core/text.h"
#include "package/ini_lines.h"
#include "package/messages.h"
#include "package/package_values.h"

namespace package {
namespace {

constexpr const char* kFileName = "Update.ini";
constexpr std::array<int32_t, 5> kDefaultBaudList = {2, 3, 4, 1, 0};
constexpr int32_t kHighestBaudTag = 7;

// "%NAME%" replaced by the environment's value; names that are not set stay as they are.
std::string ExpandEnvironment(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find('%', i);
    const size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
    if (close == std::string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    out.append(text.substr(i, open - i));
    const std::string name(text.substr(open + 1, close - open - 1));
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    if (value) {
      out.append(value);
    } else {
      out.append(text.substr(open, close - open + 1));
    }
    i = close + 1;
  }
  return out;
}

std::filesystem::path SavePath(const std::filesystem::path& workingFolder) {
  const std::string folder = SettingsFolder(workingFolder);
  return folder.empty() ? workingFolder / kFileName : std::filesystem::path(folder) / kFileName;
}

// The lines from the settings folder, else from the working folder.
std::optional<IniLines> LoadSettingsLines(const std::filesystem::path& workingFolder) {
  std::optional<IniLines> lines = LoadIniLines(SavePath(workingFolder));
  if (!lines) lines = LoadIniLines(workingFolder / kFileName);
  return lines;
}

// The 8-bit value of the first line with key, cut to the longest value the settings take.
std::string ReadValue(const IniLines& lines, std::string_view key, FileReport& report) {
  const int index = FindKey(lines, key);
  if (index < 0) return {};
  std::string value(*KeyValue(lines[static_cast<size_t>(index)].text, key));
  ClipValue(value, Settings::kMaxValueLength, kFileName, index + 1, key, report);
  return value;
}

int32_t LanguageFrom(const std::string& value, FileReport& report) {
  if (value.size() >= 1 && (value[0] == '0' || value[0] == '1')) return value[0] - '0';
  report.Note(std::string(kFileName) + ": Language \"" + core::Cp1252ToUtf8(value) +
              "\" is neither 0 nor 1; German is used");
  return 0;
}

void ReadBaudList(const std::string& value, Settings& settings, FileReport& report) {
  settings.BaudCount = 0;
  size_t start = 0;
  while (!value.empty() && start <= value.size()) {
    const size_t comma = std::min(value.find(',', start), value.size());
    const std::string piece = value.substr(start, comma - start);
    start = comma + 1;
    const int32_t baud = LeadingInt(piece);
    if (baud < 0 || baud > kHighestBaudTag) {
      report.Note(std::string(kFileName) + ": Baud entry \"" + core::Cp1252ToUtf8(piece) +
                  "\" is not a baud rate number (0 to 7) and is skipped");
      continue;
    }
    if (settings.BaudCount == Settings::kMaxBaudEntries) {
      report.Note(std::string(kFileName) + ": more than " +
                  std::to_string(Settings::kMaxBaudEntries) +
                  " Baud entries; only the first are tried");
      break;
    }
    settings.BaudSearchList[static_cast<size_t>(settings.BaudCount++)] = baud;
  }
  if (settings.BaudCount > 0) return;
  if (!value.empty()) report.Note(std::string(kFileName) + ": no usable Baud entry; default list");
  for (int32_t baud : kDefaultBaudList) {
    settings.BaudSearchList[static_cast<size_t>(settings.BaudCount++)] = baud;
  }
}

// A port number from 1 to 256 fixes the port; anything else leaves the search to find it.
void ReadComPort(const std::string& value, Settings& settings, FileReport& report) {
  settings.ComGiven = 0;
  if (value.empty()) return;
  const int32_t number = LeadingInt(value);
  if (number < 1 || number > Settings::kHighestComNumber) {
    report.Note(std::string(kFileName) + ": Com \"" + core::Cp1252ToUtf8(value) +
                "\" is not a port number (1 to " + std::to_string(Settings::kHighestComNumber) +
                "); the ports are searched");
    return;
  }
  settings.ComGiven = 1;
  settings.ComIndex = number - 1;
}

// Sets key's first line to "key=value", or appends such a line.
void SetValue(IniLines& lines, std::string_view key, const std::string& value) {
  const std::string text = std::string(key) + "=" + value;
  const int index = FindKey(lines, key);
  if (index >= 0) {
    lines[static_cast<size_t>(index)].text = text;
    return;
  }
  std::string end = "\r\n";
  for (const IniLine& line : lines) {
    if (!line.end.empty()) {
      end = line.end;
      break;
    }
  }
  if (!lines.empty() && lines.back().end.empty()) lines.back().end = end;
  lines.push_back({text, end});
}

}  // namespace

bool PublicFolder(std::string& folder) {
  folder = ExpandEnvironment("%PUBLIC%");
  return !folder.empty() && folder.find("%PUBLIC%") == std::string::npos;
}

std::string SettingsFolder(const std::filesystem::path& workingFolder) {
  std::string path = workingFolder.string();
  const std::string programFiles = ExpandEnvironment("%ProgramFiles%");
  if (programFiles.find("%ProgramFiles%") != std::string::npos) return {};
  const int32_t position = core::FindText(path, programFiles);
  if (position == 0) return {};
  std::string publicFolder;
  if (!PublicFolder(publicFolder)) return {};
  core::DeleteChars(path, position, static_cast<int32_t>(programFiles.size()));
  core::InsertText(publicFolder, path, position);
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return path;
}

int32_t ReadSettings(const std::filesystem::path& workingFolder, Settings& settings,
                     FileReport& report) {
  const std::optional<IniLines> lines = LoadSettingsLines(workingFolder);
  if (!lines) {
    report.ShowError(messages::kConfigFileCaption, messages::kConfigFile1Missing);
    return -1;
  }
  NoteUnreadLines(*lines, kFileName, report);
  settings.LanguageIndex = LanguageFrom(ReadValue(*lines, "Language", report), report);
  settings.Version = core::Cp1252ToUtf8(ReadValue(*lines, "Version", report));
  ReadBaudList(ReadValue(*lines, "Baud", report), settings, report);
  ReadComPort(ReadValue(*lines, "Com", report), settings, report);
  return 0;
}

int32_t WriteSettings(const std::filesystem::path& workingFolder, const Settings& settings,
                      FileReport& report) {
  std::optional<IniLines> lines = LoadSettingsLines(workingFolder);
  if (!lines) {
    report.ShowError(messages::kConfigFileCaption, messages::kConfigFile1Missing);
    return -1;
  }
  const char digit = settings.LanguageIndex == 1 ? '1' : '0';
  std::string language;
  if (const int index = FindKey(*lines, "Language"); index >= 0) {
    language = *KeyValue((*lines)[static_cast<size_t>(index)].text, "Language");
  }
  if (language.empty()) language = "0";
  language[0] = digit;
  SetValue(*lines, "Language", language);
  SetValue(*lines, "Version", core::Utf8ToCp1252(settings.Version));
  // Baud and Com keep their lines; a file without them gets them empty, as a rewrite always
  // wrote all four keys.
  for (const char* key : {"Baud", "Com"}) {
    if (FindKey(*lines, key) < 0) SetValue(*lines, key, "");
  }
  const std::filesystem::path path = SavePath(workingFolder);
  const std::string failure = SaveIniLinesAtomically(path, *lines);
  if (failure.empty()) return 0;
  const bool english = settings.LanguageIndex == 1;
  report.ShowError(messages::Text(messages::CAPTION_ERROR, settings.LanguageIndex),
                   (english ? "Cannot save " : "Speichern nicht möglich: ") + path.string() + " (" +
                       failure + ")");
  return -1;
}

}  // namespace package
