#include "package/package_check.h"

#include <system_error>

#include "core/text.h"
#include "package/air_pressure_file.h"
#include "package/messages.h"
#include "package/package_files.h"
#include "package/package_values.h"

namespace package {
namespace {

namespace fs = std::filesystem;

// What the file readers would show in a box or note in the log.
class ReportCollector : public FileReport {
 public:
  explicit ReportCollector(CheckReport& report) : report_(report) {}
  void ShowError(std::string_view, std::string_view text) override {
    report_.Add(CheckLevel::kError, std::string(text));
  }
  void Note(std::string_view text) override {
    report_.Add(CheckLevel::kWarning, std::string(text));
  }

 private:
  CheckReport& report_;
};

std::string Quoted(const std::string& name) {
  return "\"" + name + "\"";
}

// The first "X" of text replaced by value.
std::string WithX(std::string_view text, const std::string& value) {
  std::string result(text);
  if (const size_t x = result.find('X'); x != std::string::npos) result.replace(x, 1, value);
  return result;
}

}  // namespace

bool CheckPackageFiles(const fs::path& folder, Settings& settings, DeviceDescription& devices,
                       CheckReport& report) {
  ReportCollector collector(report);
  if (ReadSettings(folder, settings, collector) != 0) return false;
  report.language = settings.LanguageIndex;
  report.Add(CheckLevel::kOk,
             messages::Filled(messages::CHECK_FILE_READ, report.language, "Update.ini"),
             "Update.ini");
  if (ReadDeviceFile(folder, devices, collector, settings.LanguageIndex) != 0) return false;
  if (devices.DeviceTable.empty()) {
    report.Add(CheckLevel::kError,
               std::string(messages::Text(messages::CHECK_NO_ENTRIES, report.language)),
               "ProgDevice.ini");
    return false;
  }
  report.Add(CheckLevel::kOk,
             messages::Filled(messages::CHECK_ENTRIES, report.language,
                              std::to_string(devices.DeviceTable.size())),
             "ProgDevice.ini");
  return true;
}

std::optional<uintmax_t> PackageFileSize(const std::string& name) {
  const fs::path path = core::PackagePath(name);
  std::error_code error;
  if (name.empty() || !fs::is_regular_file(path, error)) return std::nullopt;
  const uintmax_t size = fs::file_size(path, error);
  if (error) return std::nullopt;
  return size;
}

std::optional<uintmax_t> CheckNamedFile(CheckReport& report, const CheckPlace& place,
                                        const std::string& name, bool further) {
  const std::optional<uintmax_t> size = PackageFileSize(name);
  if (size) {
    report.Add(
        CheckLevel::kOk,
        messages::Filled(further ? messages::CHECK_FURTHER_FILE : messages::CHECK_FILE_PRESENT,
                         report.language, name, std::to_string(*size)),
        name, place.entry, place.device);
  } else {
    report.Add(CheckLevel::kError,
               messages::Filled(messages::CHECK_FILE_MISSING, report.language, Quoted(name)), name,
               place.entry, place.device);
  }
  return size;
}

void CheckSizeLimit(CheckReport& report, const CheckPlace& place, const std::string& name,
                    uintmax_t size, uintmax_t limit) {
  if (size <= limit) return;
  report.Add(
      CheckLevel::kError,
      messages::Filled(messages::CHECK_TOO_LARGE, report.language, name, std::to_string(limit)),
      name, place.entry, place.device);
}

bool CheckNameInsidePackage(CheckReport& report, const CheckPlace& place, const std::string& name) {
  const PackageNameFault fault = CheckPackageFileName(name);
  if (fault == PackageNameFault::kNone) return true;
  const messages::MessageId id = fault == PackageNameFault::kOption
                                     ? messages::MSG_PACKAGE_FILE_OPTION
                                     : messages::MSG_PACKAGE_FILE_OUTSIDE;
  report.Add(CheckLevel::kError, WithX(messages::Text(id, report.language), Quoted(name)), name,
             place.entry, place.device);
  return false;
}

void CheckPressureFile(CheckReport& report) {
  const PressureTableFile table = ReadPressureTable(".");
  const int32_t language = report.language;
  if (!table.present) {
    report.Add(CheckLevel::kOk,
               std::string(messages::Text(messages::CHECK_PRESSURE_BUILT_IN, language)));
    return;
  }
  if (!table.readable) {
    report.Add(CheckLevel::kError, PressureUnreadableText(language), kPressureFileName);
    return;
  }
  for (const PressureProblem& problem : table.problems)
    report.Add(CheckLevel::kError, PressureProblemText(problem, language), kPressureFileName);
  report.Add(CheckLevel::kOk,
             messages::Filled(messages::CHECK_PRESSURE_TABLE, language, kPressureFileName,
                              std::to_string(table.rows.size())),
             kPressureFileName);
}

void CheckLanguageFilesAndManuals(CheckReport& report, bool sensorManuals) {
  const auto check = [&report](std::string_view file, messages::MessageId missing) {
    const std::string name(file);
    if (const std::optional<uintmax_t> size = PackageFileSize(name)) {
      report.Add(CheckLevel::kOk,
                 messages::Filled(messages::CHECK_FILE_PRESENT, report.language, name,
                                  std::to_string(*size)),
                 name);
    } else {
      report.Add(CheckLevel::kWarning, messages::Filled(missing, report.language, name), name);
    }
  };
  for (std::string_view file : kLanguageFiles) check(file, messages::CHECK_LANGUAGE_FILE_MISSING);
  const size_t first = sensorManuals ? 1 : 0;
  check(kManualFiles[first], messages::CHECK_MANUAL_MISSING);
  check(kManualFiles[first + 2], messages::CHECK_MANUAL_MISSING);
}

}  // namespace package
