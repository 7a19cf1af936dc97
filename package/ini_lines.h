// Package files as lists of "key=value" lines, in their own 8-bit code page. A line ends at CR LF,
// at a lone CR or at a lone LF (files come from Windows and from elsewhere); each line keeps its
// own ending so that a rewrite changes only the lines it means to change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace package {

struct IniLine {
  std::string text;  // without its line end
  std::string end;   // "\r\n", "\r", "\n" or "" for a last line without one
  // The lines beyond kMaxIniLines, kept whole in one entry only to be written back.
  bool unread = false;
};

using IniLines = std::vector<IniLine>;

// Package files are small; anything larger is not one of them.
inline constexpr std::uintmax_t kMaxIniFileSize = 4 * 1024 * 1024;
// A package file's lines are read up to this many: each costs far more than its bytes.
inline constexpr size_t kMaxIniLines = 65536;

// The lines of a regular file, or nothing when it is missing, unreadable or too large.
std::optional<IniLines> LoadIniLines(const std::filesystem::path& file);
// Lines beyond kMaxIniLines end as one unread entry at the end.
IniLines SplitIniLines(std::string_view bytes);
// True when the file had more lines than were read.
bool HasUnreadLines(const IniLines& lines);

// The value of line when its text before the first "=" equals key without regard to case (ASCII).
std::optional<std::string_view> KeyValue(std::string_view line, std::string_view key);
// Index of the first read line whose key is key, or -1.
int FindKey(const IniLines& lines, std::string_view key);

// Writes the lines to a temporary file beside file and renames it over file, so a failure leaves
// the old file whole. Returns an empty text on success, else the reason.
std::string SaveIniLinesAtomically(const std::filesystem::path& file, const IniLines& lines);
// The system part of it: the bytes become the file's whole content, or the file stays as it was.
// A file the user made read-only is left alone (a failure). Empty text on success, else the
// reason.
std::string ReplaceFileAtomically(const std::filesystem::path& file, const std::string& bytes);

}  // namespace package
