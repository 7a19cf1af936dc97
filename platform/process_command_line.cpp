// The parts of starting a program that are text work, the same on every system.
#include <algorithm>
#include <cctype>

#include "platform/process.h"

namespace platform {
namespace {

// The name of an environment entry: the text before the first '=' after its first character
// (Windows keeps entries like "=C:=C:\\work" whose name begins with '=').
std::string_view EntryName(std::string_view entry) {
  const size_t equals = entry.find('=', 1);
  return entry.substr(0, equals);
}

bool SameName(std::string_view a, std::string_view b, bool ignoreCase) {
  if (!ignoreCase) return a == b;
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) ==
           std::toupper(static_cast<unsigned char>(y));
  });
}

// One argument as the C runtime reads it back: inside quotes a run of backslashes is literal
// unless a quote follows it, so such runs are doubled (and the quote escaped).
std::string QuotedArgument(const std::string& word) {
  if (!word.empty() && word.find_first_of(" \t\n\v\"") == std::string::npos) return word;
  std::string out = "\"";
  size_t backslashes = 0;
  for (const char c : word) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
}

}  // namespace

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& inherited,
                                           const std::vector<std::string>& added,
                                           bool namesIgnoreCase) {
  std::vector<std::string> entries;
  for (const std::string& entry : inherited) {
    const bool replaced = std::any_of(added.begin(), added.end(), [&](const std::string& own) {
      return SameName(EntryName(own), EntryName(entry), namesIgnoreCase);
    });
    if (!replaced) entries.push_back(entry);
  }
  entries.insert(entries.end(), added.begin(), added.end());
  return entries;
}

std::string WindowsCommandLine(const std::string& program,
                               const std::vector<std::string>& arguments) {
  // The program's name is read up to the closing quote, without escapes; a Windows path holds
  // no quote.
  std::string line = !program.empty() && program.find_first_of(" \t") == std::string::npos
                         ? program
                         : "\"" + program + "\"";
  for (const std::string& word : arguments) line += " " + QuotedArgument(word);
  return line;
}

}  // namespace platform
