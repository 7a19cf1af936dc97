// Small firmware-package files for tests: Update.ini and ProgDevice.ini written as the packages
// carry them (Windows-1252), from UTF-8 text in the test.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "package/file_report.h"
#include "tests/support/temp_folder.h"

namespace test {

// One device section: a header line and all sixteen keys, each overridable.
inline std::string DeviceSection(const std::map<std::string, std::string>& values = {},
                                 const std::string& end = "\r\n") {
  static const char* const kKeys[] = {"DevStartCmd", "DeviceNrDef", "DeviceNr",     "DeviceName",
                                      "ProgFile1",   "ProgFile2",   "ProgFile3",    "SWKenn1",
                                      "SWKenn2",     "SWKenn3",     "BootLoadKenn", "FlashErase1",
                                      "FlashErase2", "FlashErase3", "ProgDefFile",  "ProzTyp"};
  std::map<std::string, std::string> all = {{"DevStartCmd", "1"},       {"DeviceNrDef", "XXXXX"},
                                            {"DeviceNr", "20363"},      {"DeviceName", "pH 340"},
                                            {"ProgFile2", "pH340.txt"}, {"ProzTyp", "149"}};
  for (const auto& [key, value] : values) all[key] = value;
  std::string text = "[Device]" + end;
  for (const char* key : kKeys) text += std::string(key) + "=" + all[key] + end;
  return text;
}

inline std::string TextSection(const std::string& startD, const std::string& startE,
                               const std::string& abortD = "Abbruch",
                               const std::string& abortE = "Abort",
                               const std::string& end = "\r\n") {
  return "StarttextD=" + startD + end + "StarttextE=" + startE + end + "AbbruchtextD=" + abortD +
         end + "AbbruchtextE=" + abortE + end;
}

// Writes text (UTF-8 here) as the Windows-1252 file name in folder.
inline void WritePackageFile(const TempFolder& folder, const std::string& name,
                             const std::string& text) {
  folder.Write(name, core::Utf8ToCp1252(text));
}

// Keeps what a reader reports: the error boxes it showed and its log notes.
struct RecordingReport : package::FileReport {
  struct Box {
    std::string caption;
    std::string text;
  };
  std::vector<Box> boxes;
  std::vector<std::string> notes;

  void ShowError(std::string_view caption, std::string_view text) override {
    boxes.push_back({std::string(caption), std::string(text)});
  }
  void Note(std::string_view text) override { notes.emplace_back(text); }
};

}  // namespace test
