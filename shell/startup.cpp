#include "shell/startup.h"

#include <string>
#include <vector>

#include "package/messages.h"
#include "shell/message_box.h"
#include "shell/package_folder.h"

namespace shell {
namespace {

// Error boxes go up at once (there is no window yet); notes wait for the log.
class StartupReport : public package::FileReport {
 public:
  StartupReport(std::vector<std::string>& notes, std::filesystem::path workingFolder)
      : notes_(notes), workingFolder_(std::move(workingFolder)) {}

  void ShowError(std::string_view caption, std::string_view text) override {
    const std::string shown = StartupErrorText(text, workingFolder_, language);
    if (shown != text) caption = messages::Text(messages::CAPTION_ERROR, language);
    ShowMessageBox(nullptr, language, update::BoxIcon::Error, update::BoxButtons::Ok, caption,
                   shown);
  }
  void Note(std::string_view text) override { notes_.emplace_back(text); }

  int language = DesktopLanguage();

 private:
  std::vector<std::string>& notes_;
  std::filesystem::path workingFolder_;
};

}  // namespace

std::optional<FormOptions> ReadStartupFiles(const std::filesystem::path& workingFolder,
                                            const std::filesystem::path& programFolder) {
  FormOptions options;
  options.programFolder = programFolder;
  options.workingFolder = workingFolder;
  StartupReport report(options.startupNotes, workingFolder);
  if (package::ReadSettings(workingFolder, options.settings, report) != 0) return std::nullopt;
  report.language = options.settings.LanguageIndex;
  if (package::ReadDeviceFile(workingFolder, options.devices, report,
                              options.settings.LanguageIndex) != 0)
    return std::nullopt;
  return options;
}

}  // namespace shell
