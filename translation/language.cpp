#include "translation/language.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/text.h"

namespace translation {
namespace {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string result;
  size_t start = 0;
  for (size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, start)) {
    result.append(text.substr(start, at - start)).append(to);
    start = at + from.size();
  }
  result.append(text.substr(start));
  return result;
}

// The lines of a file's text; a line ends with CR LF (a lone LF is taken as well).
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(core::Cp1252ToUtf8(line));
    start = end + 1;
  }
  return lines;
}

// The text of a found entry: its value decoded, or for an empty value the source text between
// the first "]" and the first ":=".
std::string EntryText(const std::string& line) {
  const size_t equals = line.find('=');
  const std::string value = equals == std::string::npos ? std::string() : line.substr(equals + 1);
  if (!value.empty()) return DecodeLineBreaks(value);
  const size_t bracket = line.find(']');
  const size_t assign = line.find(":=");
  if (bracket == std::string::npos || assign == std::string::npos || assign < bracket) return {};
  return DecodeLineBreaks(line.substr(bracket + 1, assign - bracket - 1));
}

}  // namespace

std::string EncodeLineBreaks(std::string_view text) {
  return ReplaceAll(text, "\r\n", "\\\\");
}

std::string DecodeLineBreaks(std::string_view text) {
  return ReplaceAll(text, "\\\\", "\r\n");
}

void TLanguage::LoadTranslateText() {
  // A file that cannot be read is learnt from this window alone: entries of the language used
  // before would come first in the new file and hide what the translator fills in.
  const auto startLearning = [this] {
    entries_.clear();
    learning_ = true;
    modified_ = false;
  };
  std::error_code error;
  std::ifstream in(Dialogfile, std::ios::binary);
  if (!in || !std::filesystem::is_regular_file(Dialogfile, error)) {
    startLearning();
    return;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    startLearning();
    return;
  }
  entries_ = SplitLines(text.str());
  learning_ = false;
  modified_ = false;
}

std::string TLanguage::SaveTranslateText() {
  if (!learning_ && !modified_) return {};
  std::string bytes;
  for (const std::string& line : entries_) bytes += core::Utf8ToCp1252(line) + "\r\n";
  // A temporary file renamed over the old one: a failed write never leaves half a file.
  const std::string temporary = Dialogfile + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (!out) {
      const std::string reason = std::strerror(errno);
      std::remove(temporary.c_str());
      return "\"" + Dialogfile + "\": " + reason;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, Dialogfile, error);
  if (error) {
    std::remove(temporary.c_str());
    return "\"" + Dialogfile + "\": " + error.message();
  }
  modified_ = false;
  return {};
}

std::string TLanguage::TranslateText(std::string_view name, std::string_view text) {
  if (text.empty()) return {};
  const std::string encoded = EncodeLineBreaks(text);
  const std::string key = "[" + std::string(name) + "]";
  if (learning_) {
    entries_.push_back(key + "=");
    return std::string(text);
  }
  for (const std::string& line : entries_) {
    if (line.find(key) != std::string::npos) return EntryText(line);
  }
  modified_ = true;
  entries_.push_back(key + encoded + ":=");
  return std::string(text);
}

std::string TLanguage::TranslateHintText(std::string_view name, std::string_view hint) {
  if (learning_) {
    entries_.push_back("[Hint][" + std::string(name) + "]" + EncodeLineBreaks(hint) + ":=");
  }
  return std::string(hint);
}

}  // namespace translation
