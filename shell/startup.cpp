#include "shell/startup.h"

#include <string>
#include <vector>

#include "shell/message_box.h"

namespace shell {
namespace {

// Error boxes go up at once (there is no window yet); notes wait for the log.
class StartupReport : public package::FileReport {
 public:
  explicit StartupReport(std::vector<std::string>& notes) : notes_(notes) {}

  void ShowError(std::string_view caption, std::string_view text) override {
    ShowMessageBox(nullptr, update::BoxIcon::Error, update::BoxButtons::Ok, caption, text);
  }
  void Note(std::string_view text) override { notes_.emplace_back(text); }

 private:
  std::vector<std::string>& notes_;
};

}  // namespace

std::optional<FormOptions> ReadStartupFiles(const std::filesystem::path& workingFolder,
                                            const std::filesystem::path& programFolder) {
  FormOptions options;
  options.programFolder = programFolder;
  options.workingFolder = workingFolder;
  StartupReport report(options.startupNotes);
  if (package::ReadSettings(workingFolder, options.settings, report) != 0) return std::nullopt;
  if (package::ReadDeviceFile(workingFolder, options.devices, report) != 0) return std::nullopt;
  return options;
}

}  // namespace shell
