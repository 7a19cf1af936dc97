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

// The 8-bit value of the first line with key and its line number (0 without one), cut to the
// longest value the settings take.
struct Entry {
  std::string value;
  int line = 0;
};
Entry ReadValue(const IniLines& lines, std::string_view key, int32_t language, FileReport& report) {
  const int index = FindKey(lines, key);
  if (index < 0) return {};
  Entry entry{std::string(*KeyValue(lines[static_cast<size_t>(index)].text, key)), index + 1};
  ClipValue(entry.value, Settings::kMaxValueLength, kFileName, entry.line, key, language, report);
  return entry;
}

// "Update.ini, Zeile 3" in the language of the notes.
std::string Where(const Entry& entry, int32_t language) {
  return messages::Filled(messages::NOTE_FILE_LINE, language, kFileName,
                          std::to_string(entry.line));
}

// The language of the file decides the language of every other note on it. A value that is
// neither 0 nor 1 is noted in German, the language it falls back to.
int32_t ReadLanguage(const IniLines& lines, FileReport& report) {
  const int index = FindKey(lines, "Language");
  const std::string_view raw = index < 0
                                   ? std::string_view()
                                   : *KeyValue(lines[static_cast<size_t>(index)].text, "Language");
  const int32_t language = !raw.empty() && raw[0] == '1' ? 1 : 0;
  const Entry entry = ReadValue(lines, "Language", language, report);
  if (entry.value.size() >= 1 && (entry.value[0] == '0' || entry.value[0] == '1')) {
    return entry.value[0] - '0';
  }
  report.Note(messages::Filled(messages::NOTE_LANGUAGE, 0, core::Cp1252ToUtf8(entry.value)));
  return 0;
}

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// "3", " +4", "5b": a number to read from its start; "x" is none.
bool HasLeadingDigit(std::string_view piece) {
  std::string_view text = Trimmed(piece);
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  return !text.empty() && text[0] >= '0' && text[0] <= '9';
}

void ReadBaudList(const Entry& entry, int32_t language, Settings& settings, FileReport& report) {
  const std::string& value = entry.value;
  settings.BaudCount = 0;
  size_t start = 0;
  while (!value.empty() && start <= value.size()) {
    const size_t comma = std::min(value.find(',', start), value.size());
    const std::string piece = value.substr(start, comma - start);
    start = comma + 1;
    if (Trimmed(piece).empty()) continue;  // "2,3," or "2,,3"
    // A piece without a digit is no entry 0: it is skipped like any other wrong number.
    const int32_t baud = HasLeadingDigit(piece) ? LeadingInt(piece) : -1;
    if (baud < 0 || baud > kHighestBaudTag) {
      report.Note(messages::Filled(messages::NOTE_BAUD_ENTRY, language, Where(entry, language),
                                   core::Cp1252ToUtf8(piece)));
      continue;
    }
    if (settings.BaudCount == Settings::kMaxBaudEntries) {
      report.Note(messages::Filled(messages::NOTE_BAUD_TOO_MANY, language, Where(entry, language),
                                   std::to_string(Settings::kMaxBaudEntries)));
      break;
    }
    settings.BaudSearchList[static_cast<size_t>(settings.BaudCount++)] = baud;
  }
  if (settings.BaudCount > 0) return;
  if (!value.empty()) {
    report.Note(messages::Filled(messages::NOTE_BAUD_NONE, language, Where(entry, language)));
  }
  for (int32_t baud : kDefaultBaudList) {
    settings.BaudSearchList[static_cast<size_t>(settings.BaudCount++)] = baud;
  }
}

// A port number from 1 to 256 fixes the port; anything else leaves the search to find it.
void ReadComPort(const Entry& entry, int32_t language, Settings& settings, FileReport& report) {
  settings.ComGiven = 0;
  if (entry.value.empty()) return;
  const int32_t number = LeadingInt(entry.value);
  if (number < 1 || number > Settings::kHighestComNumber) {
    report.Note(messages::Filled(messages::NOTE_COM, language, Where(entry, language),
                                 core::Cp1252ToUtf8(entry.value)));
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
  const int32_t language = ReadLanguage(*lines, report);
  settings.LanguageIndex = language;
  NoteUnreadLines(*lines, kFileName, language, report);
  settings.Version = core::Cp1252ToUtf8(ReadValue(*lines, "Version", language, report).value);
  ReadBaudList(ReadValue(*lines, "Baud", language, report), language, settings, report);
  ReadComPort(ReadValue(*lines, "Com", language, report), language, settings, report);
  return 0;
}

int32_t WriteSettings(const std::filesystem::path& workingFolder, const Settings& settings,
                      FileReport& report) {
  const std::string_view caption = messages::Text(messages::CAPTION_ERROR, settings.LanguageIndex);
  std::optional<IniLines> lines = LoadSettingsLines(workingFolder);
  if (!lines) {
    // The program goes on with the setting; only the file is gone.
    report.ShowError(
        caption,
        messages::Filled(messages::MSG_SETTINGS_NOT_SAVED, settings.LanguageIndex,
                         SavePath(workingFolder).string(),
                         messages::Text(messages::MSG_SETTINGS_MISSING, settings.LanguageIndex)));
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
  report.ShowError(caption, messages::Filled(messages::MSG_SETTINGS_NOT_SAVED,
                                             settings.LanguageIndex, path.string(), failure));
  return -1;
}

}  // namespace package
