// What the package check found: one finding per line, each OK, a warning or an error, in the
// package's language; shown as text or, for scripts, as JSON. The report is pure data, so the
// console program and the window show the same findings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace package {

enum class CheckLevel { kOk, kWarning, kError };

struct CheckFinding {
  CheckLevel level = CheckLevel::kOk;
  int32_t entry = -1;  // 0-based device entry of ProgDevice.ini; -1 for the whole package
  std::string device;  // that entry's DeviceName
  std::string file;    // the file the finding is about; empty when none
  std::string text;
};

struct CheckReport {
  std::string folder;
  int32_t language = 0;
  std::vector<CheckFinding> findings;

  void Add(CheckLevel level, std::string text, std::string file = {}, int32_t entry = -1,
           std::string device = {});
  int32_t Count(CheckLevel level) const;
  bool HasErrors() const { return Count(CheckLevel::kError) > 0; }
};

// The readable report: a heading, one line per finding ("[OK] ...", "[Fehler] ..."; a finding
// about a device entry names it first), and the count of errors and warnings.
std::string CheckReportText(const CheckReport& report);
// The same as one JSON object: folder, language, the counts and the findings with their level
// ("ok", "warning", "error"), entry (1-based, or null), device, file and text.
std::string CheckReportJson(const CheckReport& report);

// text as a JSON string, quotes included: quote, backslash and every control character escaped;
// other bytes (UTF-8) stay as they are.
std::string JsonString(std::string_view text);

}  // namespace package
