#include "shell/form_commands.h"

#include <charconv>

#include "package/messages.h"
#include "package/package_files.h"
#include "update/display.h"
#include "update/download_context.h"
#include "update/port_search.h"

namespace shell {
namespace {

namespace fs = std::filesystem;

// Where an installed program keeps its shared files, from its own folder.
constexpr char kSharedFolder[] = "../share/instrument-updater";

}  // namespace

fs::path FindBeside(const FormOptions& options, const fs::path& executableFolder,
                    const std::string& name) {
  // Last the installed program's shared files (language files, manuals).
  const fs::path folders[] = {options.workingFolder, options.programFolder, executableFolder,
                              executableFolder / kSharedFolder};
  for (const fs::path& folder : folders) {
    std::error_code error;
    if (!folder.empty() && fs::is_regular_file(folder / name, error)) return folder / name;
  }
  return {};
}

fs::path LanguageFileOf(const FormOptions& options, const fs::path& executableFolder) {
  const std::string name(package::kLanguageFiles[static_cast<size_t>(
      messages::LanguageRow(options.settings.LanguageIndex))]);
  const fs::path found = FindBeside(options, executableFolder, name);
  return found.empty() ? options.workingFolder / name : found;
}

std::string ManualName(const FormOptions& options) {
  const int index = (package::IsSensorVariant(options.devices.StartMode) ? 1 : 0) +
                    2 * messages::LanguageRow(options.settings.LanguageIndex);
  return std::string(package::kManualFiles[static_cast<size_t>(index)]);
}

std::string ManualFailureText(int32_t language, const fs::path& manual, const std::string& name) {
  std::string text(messages::In(messages::kManualNotOpened, language));
  if (manual.empty()) {
    text += "\r\n" + std::string(messages::In(messages::kManualMissing, language)) + name;
  } else {
    text +=
        "\r\n" + std::string(messages::In(messages::kManualNoViewer, language)) + manual.string();
  }
  return text;
}

std::string VersionBoxText(const package::Settings& settings, std::string_view programVersion) {
  return "     Version " + settings.Version + std::string(27, ' ') + "\r\n     " +
         std::string(messages::In(messages::kProgramVersion, settings.LanguageIndex)) +
         std::string(programVersion);
}

std::string StartText(const FormOptions& options, int32_t language) {
  return update::ExpandMessage(options.devices.StartTextIn(language), language,
                               update::DownloadContext{}, 0);
}

void TakeLanguage(FormOptions& options, UpdateSession& session, int32_t tag,
                  package::FileReport& report) {
  package::Settings& settings = options.settings;
  settings.LanguageIndex = tag == 1 ? 1 : 0;
  session.Ports().SetLanguage(settings.LanguageIndex);
  package::WriteSettings(options.workingFolder, settings, report);
}

void SendWakeSequence(const FormOptions& options, UpdateSession& session) {
  const auto kind = static_cast<size_t>(options.devices.DeviceKind);
  serial::TComPort* port = session.Ports().Entry(0);
  if (!port || kind >= update::kWakeSequences.size()) return;
  const update::WakeSequence& wake = update::kWakeSequences[kind];
  port->Write(wake.bytes, wake.length, false);
}

void SetClockByKey(const FormOptions& options, UpdateSession& session, update::UpdateView& view) {
  view.AppendLog(std::string(messages::In(messages::kClockSetLog, options.settings.LanguageIndex)) +
                 "\r\n");
  session.Engine().SetInstrumentClock(true);
}

bool ToggleDebugMode(UpdateSession& session) {
  update::UpdateEngine& engine = session.Engine();
  engine.DebugMode = engine.DebugMode == 1 ? 0 : 1;
  return engine.DebugMode == 1;
}

bool ToggleVersionCheck(UpdateSession& session) {
  update::UpdateEngine& engine = session.Engine();
  engine.VersionCheck = engine.VersionCheck == 1 ? 0 : 1;
  return engine.VersionCheck == 0;
}

std::optional<double> TitlePercent(std::string_view title) {
  constexpr std::string_view kStart = "Update [";
  if (title.substr(0, kStart.size()) != kStart || title.empty() || title.back() != ']') {
    return std::nullopt;
  }
  std::string_view number = title.substr(kStart.size());
  while (!number.empty() && number.front() == ' ') number.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || std::string_view(end, number.data() + number.size()) != " %]") {
    return std::nullopt;
  }
  return value;
}

}  // namespace shell
