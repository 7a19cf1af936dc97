#include "shell/startup.h"

#include <string>
#include <vector>

#include "package/messages.h"
#include "shell/package_choice.h"

namespace shell {
namespace {

namespace fs = std::filesystem;

// Error boxes go up at once (there is no window yet); notes wait for the log.
class StartupReport : public package::FileReport {
 public:
  StartupReport(std::vector<std::string>& notes, fs::path workingFolder, PackageSource source)
      : notes_(notes), workingFolder_(std::move(workingFolder)), source_(source) {}

  void ShowError(std::string_view caption, std::string_view text) override {
    const std::string shown = StartupErrorText(text, workingFolder_, language, source_);
    if (shown != text) caption = messages::Text(messages::CAPTION_ERROR, language);
    ShowStartupBox(language, caption, shown);
  }
  void Note(std::string_view text) override { notes_.emplace_back(text); }

  int language = DesktopLanguage();

 private:
  std::vector<std::string>& notes_;
  fs::path workingFolder_;
  PackageSource source_;
};

void ShowStartupError(const std::string& text) {
  const int language = DesktopLanguage();
  ShowStartupBox(language, messages::Text(messages::CAPTION_ERROR, language), text);
}

// Enters folder and reads its package; the firmware comes from the package too.
std::optional<FormOptions> OpenFolder(const fs::path& folder, const fs::path& programFolder,
                                      PackageSource source) {
  if (const std::string failure = EnterPackageFolder(folder.string(), DesktopLanguage());
      !failure.empty()) {
    ShowStartupError(failure);
    return std::nullopt;
  }
  const fs::path working = fs::current_path();
  return ReadStartupFiles(working, FirmwareFolder(programFolder, working, true), source);
}

std::optional<FormOptions> FindPackage(const std::string& packageOption,
                                       const fs::path& programFolder) {
  if (!packageOption.empty()) {
    return OpenFolder(packageOption, programFolder, PackageSource::Named);
  }
  const fs::path working = fs::current_path();
  if (HoldsPackage(working)) {
    return ReadStartupFiles(working, FirmwareFolder(programFolder, working, false));
  }
  const fs::path remembered = RememberedPackageFolder();
  std::error_code error;
  if (!remembered.empty() && HoldsPackage(remembered)) {
    if (auto options = OpenFolder(remembered, programFolder, PackageSource::Chosen)) {
      return options;
    }
  }
  fs::path start =
      !remembered.empty() && fs::is_directory(remembered, error) ? remembered : working;
  while (const std::optional<fs::path> chosen = ChoosePackageFolder(start, DesktopLanguage())) {
    if (auto options = OpenFolder(*chosen, programFolder, PackageSource::Chosen)) return options;
    start = *chosen;
  }
  return std::nullopt;
}

}  // namespace

std::optional<FormOptions> ReadStartupFiles(const fs::path& workingFolder,
                                            const fs::path& programFolder, PackageSource source) {
  FormOptions options;
  options.programFolder = programFolder;
  options.workingFolder = workingFolder;
  StartupReport report(options.startupNotes, workingFolder, source);
  if (package::ReadSettings(workingFolder, options.settings, report) != 0) return std::nullopt;
  report.language = options.settings.LanguageIndex;
  if (package::ReadDeviceFile(workingFolder, options.devices, report,
                              options.settings.LanguageIndex) != 0)
    return std::nullopt;
  return options;
}

std::optional<FormOptions> OpenPackage(const std::string& packageOption,
                                       const fs::path& programFolder) {
  std::optional<FormOptions> options = FindPackage(packageOption, programFolder);
  if (options) RememberPackageFolder(options->workingFolder);
  return options;
}

}  // namespace shell
