#include "check/package_check.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "check/image_check.h"
#include "core/text.h"
#include "loaders/transfer_limits.h"
#include "package/messages.h"
#include "package/package_check.h"
#include "package/package_files.h"
#include "package/package_values.h"
#include "update/device_quirks.h"
#include "update/offered_version.h"

namespace check {
namespace {

using package::CheckLevel;
using package::CheckPlace;
using package::CheckReport;

std::string Quoted(const std::string& name) {
  return "\"" + name + "\"";
}

// A pattern with its line break written out, as the device file holds it.
std::string Visible(const std::string& pattern) {
  std::string text;
  for (const char c : pattern) {
    if (c == '\r') {
      text += "\\r";
    } else if (c == '\n') {
      text += "\\n";
    } else {
      text += c;
    }
  }
  return text;
}

// The files of one device entry as a run takes them (the identification's split).
struct EntryFiles {
  std::string main;               // ProgFile2's first item
  std::string second;             // ProgFile3's first item
  std::string third;              // ProgFile1
  std::vector<std::string> list;  // the further items, folder patterns expanded
  std::vector<std::string> emptyPatterns;
};

EntryFiles FilesOf(const package::DeviceEntry& entry) {
  EntryFiles files;
  std::vector<std::string> items;
  files.main = package::FirstItem(entry.ProgFile2, items);
  files.second = package::FirstItem(entry.ProgFile3, items);
  files.third = entry.ProgFile1;
  package::StripMarker(files.main);
  package::StripMarker(files.second);
  for (const std::string& item : items) {
    if (!package::IsFolderPattern(item)) {
      files.list.push_back(item);
      continue;
    }
    const std::vector<std::string> found = package::ExpandFolderPattern(item);
    if (found.empty()) files.emptyPatterns.push_back(item);
    files.list.insert(files.list.end(), found.begin(), found.end());
  }
  return files;
}

class PackageChecker {
 public:
  PackageChecker(CheckReport& report, const std::vector<std::string>& firmwareFiles)
      : report_(report), firmwareFiles_(firmwareFiles) {}

  void Run() {
    package::Settings settings;
    package::DeviceDescription devices;
    if (!package::CheckPackageFiles(".", settings, devices, report_)) return;
    language_ = report_.language;
    bool terminalDevice = false;
    for (size_t k = 0; k < devices.DeviceTable.size(); ++k) {
      const package::DeviceEntry& entry = devices.DeviceTable[k];
      CheckEntry(entry, {static_cast<int32_t>(k), entry.DeviceName});
      terminalDevice = terminalDevice ||
                       update::quirks::Listed(entry.DeviceNr, update::quirks::kTerminalDevices);
    }
    CheckTerminalFiles(terminalDevice);
    package::CheckPressureFile(report_);
    package::CheckLanguageFilesAndManuals(report_, package::IsSensorVariant(devices.StartMode));
  }

 private:
  void Add(CheckLevel level, const CheckPlace& place, const std::string& file, std::string text) {
    report_.Add(level, std::move(text), file, place.entry, place.device);
  }

  void CheckEntry(const package::DeviceEntry& entry, const CheckPlace& place) {
    const EntryFiles files = FilesOf(entry);
    std::vector<const std::string*> names = {&files.main, &files.second, &files.third,
                                             &entry.ProgDefFile};
    for (const std::string& name : files.list) names.push_back(&name);
    bool inside = true;
    for (const std::string* name : names) {
      inside = package::CheckNameInsidePackage(report_, place, *name) && inside;
    }
    // A run refuses the whole entry before it opens any of its files.
    if (!inside) return;

    CheckMainFile(entry, place, files.main);
    if (!files.third.empty() && package::CheckNamedFile(report_, place, files.third))
      CheckVersion(place, entry.SWKenn1, files.third);
    if (!files.second.empty() && package::CheckNamedFile(report_, place, files.second)) {
      CheckVersion(place, entry.SWKenn3, files.second);
      if (package::DeviceKindOf(files.second) == package::DeviceKindId::kMsp430 &&
          package::DeviceKindOf(files.main) == package::DeviceKindId::kMsp430) {
        CheckImage(report_, place,
                   {files.second, entry.ProzTyp, 1, package::EraseValue(entry.FlashErase2),
                    package::EraseValue(entry.FlashErase3)});
      }
    }
    const bool winCe = package::DeviceKindOf(files.main) == package::DeviceKindId::kWinCe;
    for (const std::string& item : files.emptyPatterns) {
      Add(CheckLevel::kWarning, place, item,
          messages::Filled(messages::CHECK_PATTERN_EMPTY, language_, Quoted(item)));
    }
    for (const std::string& name : files.list) {
      if (name.empty()) continue;
      const std::optional<uintmax_t> size = package::CheckNamedFile(report_, place, name, true);
      if (size && winCe)
        package::CheckSizeLimit(report_, place, name, *size, loaders::kWinCeMaxFileSize);
    }
  }

  void CheckMainFile(const package::DeviceEntry& entry, const CheckPlace& place,
                     const std::string& main) {
    if (main.empty()) {
      Add(CheckLevel::kError, place, "",
          std::string(messages::Text(messages::CHECK_NO_MAIN_FILE, language_)));
      return;
    }
    const std::optional<uintmax_t> size = package::CheckNamedFile(report_, place, main);
    const bool listed = !main.empty() && std::any_of(firmwareFiles_.begin(), firmwareFiles_.end(),
                                                     [&main](const std::string& name) {
                                                       return main.find(name) != std::string::npos;
                                                     });
    if (!listed) {
      Add(CheckLevel::kError, place, main,
          messages::Filled(messages::CHECK_NOT_LISTED, language_, Quoted(main)));
    }
    if (!size) return;
    CheckVersion(place, entry.SWKenn2, main);
    switch (package::DeviceKindOf(main)) {
      case package::DeviceKindId::kMsp430:
        CheckImage(report_, place,
                   {main, entry.ProzTyp, 0, package::EraseValue(entry.FlashErase2),
                    package::EraseValue(entry.FlashErase3)});
        break;
      case package::DeviceKindId::kWinCe:
        package::CheckSizeLimit(report_, place, main, *size, loaders::kWinCeMaxFileSize);
        break;
      default:
        break;
    }
  }

  // The version text a run reads from the file with the pattern.
  void CheckVersion(const CheckPlace& place, const std::string& pattern, const std::string& file) {
    const update::VersionFileMode mode = update::VersionModeFor(pattern, file);
    if (mode == update::VersionFileMode::kNone) return;
    const std::optional<std::string> bytes =
        update::ReadVersionBytes(std::filesystem::path(core::PackagePath(file)), mode);
    if (!bytes) return;  // reported as missing already
    const std::string version = mode == update::VersionFileMode::kProgram
                                    ? update::DecodeProgramVersion(*bytes, pattern)
                                    : update::DecodeHexVersion(*bytes, pattern);
    if (version.empty()) {
      Add(CheckLevel::kWarning, place, file,
          messages::Filled(messages::CHECK_NO_VERSION, language_, file, Quoted(Visible(pattern))));
    } else {
      Add(CheckLevel::kOk, place, file,
          messages::Filled(messages::CHECK_VERSION, language_, file, version));
    }
  }

  // The Basic-Loader terminal's files, never larger than the terminal's buffer. Which of the two
  // an instrument asks for, it says only during a run: one missing is a warning, both an error.
  void CheckTerminalFiles(bool needed) {
    std::vector<std::string> missing;
    for (const std::string_view file : loaders::kTerminalFiles) {
      const std::string name(file);
      const std::optional<uintmax_t> size = package::PackageFileSize(name);
      if (!size) {
        if (needed) missing.push_back(name);
        continue;
      }
      package::CheckNamedFile(report_, {}, name);
      package::CheckSizeLimit(report_, {}, name, *size, loaders::kTerminalTransferSize);
    }
    const CheckLevel level = missing.size() == loaders::kTerminalFiles.size()
                                 ? CheckLevel::kError
                                 : CheckLevel::kWarning;
    for (const std::string& name : missing) {
      Add(level, {}, name,
          messages::Filled(messages::CHECK_TERMINAL_FILE_MISSING, language_, Quoted(name)));
    }
  }

  CheckReport& report_;
  const std::vector<std::string>& firmwareFiles_;
  int32_t language_ = 0;
};

}  // namespace

CheckReport CheckPackage(const std::vector<std::string>& firmwareFiles, int32_t language) {
  CheckReport report;
  report.language = language;
  std::error_code error;
  report.folder = std::filesystem::current_path(error).string();
  PackageChecker(report, firmwareFiles).Run();
  return report;
}

}  // namespace check
