// The package check's report as scripts read it: JSON strings that survive any text a package
// puts into a finding.
#include <gtest/gtest.h>

#include "package/check_report.h"

namespace package {
namespace {

TEST(CheckReport, JsonStringsEscapeWhatJsonCannotHoldPlain) {
  const struct {
    std::string text;
    const char* json;
  } cases[] = {
      {"plain", "\"plain\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"sub\\a.bin", "\"sub\\\\a.bin\""},
      {"@F000\r\n\t", "\"@F000\\r\\n\\t\""},
      {std::string("a\0b\x1f\x7f", 5), "\"a\\u0000b\\u001f\\u007f\""},
      {"Gerät", "\"Gerät\""},
  };
  for (const auto& c : cases) EXPECT_EQ(JsonString(c.text), c.json) << c.text;
}

TEST(CheckReport, TextAndJsonCarryTheSameFindings) {
  CheckReport report;
  report.folder = "/pkg";
  report.language = 1;
  report.Add(CheckLevel::kOk, "Update.ini read.", "Update.ini");
  report.Add(CheckLevel::kError, "\"a.txt\" is missing\r\nadd it", "a.txt", 0, "pH 340");
  report.Add(CheckLevel::kWarning, "no manual");
  EXPECT_EQ(CheckReportText(report),
            "Checking the firmware package /pkg (no port is opened):\n"
            "[OK] Update.ini read.\n"
            "[error] Entry 1 (pH 340): \"a.txt\" is missing  add it\n"
            "[warning] no manual\n"
            "Errors: 1, warnings: 1.\n");
  EXPECT_EQ(CheckReportJson(report),
            "{\n  \"folder\": \"/pkg\",\n  \"language\": 1,\n  \"errors\": 1,\n"
            "  \"warnings\": 1,\n  \"findings\": [\n"
            "    {\"level\": \"ok\", \"entry\": null, \"device\": \"\", \"file\": \"Update.ini\", "
            "\"text\": \"Update.ini read.\"},\n"
            "    {\"level\": \"error\", \"entry\": 1, \"device\": \"pH 340\", \"file\": \"a.txt\", "
            "\"text\": \"\\\"a.txt\\\" is missing\\r\\nadd it\"},\n"
            "    {\"level\": \"warning\", \"entry\": null, \"device\": \"\", \"file\": \"\", "
            "\"text\": \"no manual\"}\n  ]\n}\n");
}

}  // namespace
}  // namespace package
