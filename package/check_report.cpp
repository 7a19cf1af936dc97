#include "package/check_report.h"

#include <algorithm>
#include <cstdio>

#include "package/messages.h"

namespace package {
namespace {

constexpr messages::MessageId kLevelWords[] = {messages::CHECK_OK, messages::CHECK_WARNING,
                                               messages::CHECK_ERROR};
constexpr const char* kLevelKeys[] = {"ok", "warning", "error"};

size_t LevelIndex(CheckLevel level) {
  return static_cast<size_t>(level);
}

// One line per finding: line breaks inside a text become blanks.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

}  // namespace

void CheckReport::Add(CheckLevel level, std::string text, std::string file, int32_t entry,
                      std::string device) {
  findings.push_back({level, entry, std::move(device), std::move(file), std::move(text)});
}

int32_t CheckReport::Count(CheckLevel level) const {
  return static_cast<int32_t>(
      std::count_if(findings.begin(), findings.end(),
                    [level](const CheckFinding& f) { return f.level == level; }));
}

std::string CheckReportText(const CheckReport& report) {
  const int32_t language = report.language;
  std::string text = messages::Filled(messages::CHECK_HEADING, language, report.folder) + "\n";
  for (const CheckFinding& finding : report.findings) {
    text +=
        "[" + std::string(messages::Text(kLevelWords[LevelIndex(finding.level)], language)) + "] ";
    if (finding.entry >= 0) {
      text += messages::Filled(messages::CHECK_ENTRY, language, std::to_string(finding.entry + 1),
                               finding.device) +
              ": ";
    }
    text += OneLine(finding.text) + "\n";
  }
  text += messages::Filled(messages::CHECK_SUMMARY, language,
                           std::to_string(report.Count(CheckLevel::kError)),
                           std::to_string(report.Count(CheckLevel::kWarning))) +
          "\n";
  return text;
}

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
          json += escaped;
        } else {
          json += c;
        }
    }
  }
  return json + "\"";
}

std::string CheckReportJson(const CheckReport& report) {
  std::string json = "{\n  \"folder\": " + JsonString(report.folder) + ",\n  \"language\": " +
                     std::to_string(messages::LanguageRow(report.language)) +
                     ",\n  \"errors\": " + std::to_string(report.Count(CheckLevel::kError)) +
                     ",\n  \"warnings\": " + std::to_string(report.Count(CheckLevel::kWarning)) +
                     ",\n  \"findings\": [";
  const char* separator = "\n";
  for (const CheckFinding& finding : report.findings) {
    json += separator;
    separator = ",\n";
    json += "    {\"level\": \"" + std::string(kLevelKeys[LevelIndex(finding.level)]) +
            "\", \"entry\": " +
            (finding.entry >= 0 ? std::to_string(finding.entry + 1) : std::string("null")) +
            ", \"device\": " + JsonString(finding.device) +
            ", \"file\": " + JsonString(finding.file) + ", \"text\": " + JsonString(finding.text) +
            "}";
  }
  json += report.findings.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return json;
}

}  // namespace package
