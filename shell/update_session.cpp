#include "shell/update_session.h"

#include <utility>

#include "package/messages.h"
#include "serial/port_names.h"
#include "shell/time_scale.h"

namespace shell {
namespace {

// The inventory is taken before the engine exists: the engine reads the port table's count.
update::PortTable& Inventoried(update::PortTable& ports, int language, serial::ErrorBox box) {
  ports.SetLanguage(language);
  ports.SetErrorBox(std::move(box));
  ports.TakeInventory();
  return ports;
}

}  // namespace

UpdateSession::UpdateSession(core::WindowSystem& windows, update::UpdateView& view,
                             package::Settings& settings, package::DeviceDescription& devices,
                             std::vector<std::string> firmwareFiles, serial::ErrorBox portErrorBox)
    : windows_(windows),
      settings_(settings),
      events_(windows),
      ports_(windows),
      engine_(events_, view, settings, devices,
              Inventoried(ports_, settings.LanguageIndex, std::move(portErrorBox)),
              std::move(firmwareFiles)) {
  ApplyTimeScale(events_);
  engine_.SetPaths(&paths_);
  engine_.Install();
  windows_.SetMessageHandler(
      [this](uint32_t message, uintptr_t wParam) { engine_.OnWindowMessage(message, wParam); });
}

UpdateSession::~UpdateSession() {
  windows_.SetMessageHandler(nullptr);
  StopLoaders();
  ports_.CloseAll();
}

std::string UpdateSession::PortProblem() const {
  return update::PortProblem(ports_.Facts(settings_.ComGiven != 0, settings_.ComIndex),
                             settings_.LanguageIndex);
}

std::string UpdateSession::OpenPorts() {
  return ports_.OpenPorts(settings_.ComGiven != 0, settings_.ComIndex);
}

std::vector<std::string> UpdateSession::PortNotes() const {
  std::vector<std::string> notes = ports_.DeviceLines(settings_.LanguageIndex);
  if (std::string hint = ports_.PermissionHint(settings_.LanguageIndex); !hint.empty()) {
    notes.push_back(std::move(hint));
  }
  return notes;
}

void UpdateSession::PressOk() {
  if (!runBegun_) {
    runBegun_ = true;
    runStart_ = std::chrono::steady_clock::now();
  }
  events_.queue.PostKey(core::KEY_OK);
  events_.pump.PumpEvents();
}

update::RunResult RunResultOf(RunEnd end, bool answeredNo, bool anythingOlder,
                              const update::RunState& run) {
  // A success with nothing older in the instrument programmed nothing.
  if (end == RunEnd::kSuccess) {
    return anythingOlder ? update::RunResult::kProgrammed : update::RunResult::kAlreadyCurrent;
  }
  if (run.ActivePort < 0) return update::RunResult::kNotFound;
  if (run.LeftCurrent) return update::RunResult::kAlreadyCurrent;
  if (answeredNo) return update::RunResult::kDeclined;
  return update::RunResult::kFailed;
}

update::RunRecord UpdateSession::RecordOf(RunEnd end, bool answeredNo) const {
  const update::UpdateEngine& engine = engine_;
  const update::RunState& run = engine.State();
  const update::DownloadContext& context = engine.Record();
  update::RunRecord record;
  record.time = update::NowIso8601();
  record.programVersion = UPDATER_VERSION;
  std::error_code error;
  record.packageFolder = std::filesystem::current_path(error).string();
  int comIndex = run.ActiveComIndex;
  if (comIndex < 0 && settings_.ComGiven != 0) comIndex = settings_.ComIndex;
  if (comIndex >= 0) {
    record.port = serial::PortDisplayName(comIndex);
    record.device = serial::PortDevicePath(comIndex);
  }
  record.instrumentName = context.DeviceNameText;
  while (!record.instrumentName.empty() &&
         (record.instrumentName.back() == ' ' || record.instrumentName.back() == ',')) {
    record.instrumentName.pop_back();
  }
  record.instrumentNumber = context.DeviceNumber;
  record.serialNumber = context.SerialNumber;
  record.pcbNumber = context.PcbNumber;
  record.versionBefore = context.SwVersion;
  record.versionOffered = context.OfferedVersion;
  if (!context.OfferedVersion2.empty()) record.versionOffered += "," + context.OfferedVersion2;
  record.result = RunResultOf(end, answeredNo, engine.MainOlder() || engine.SecondaryOlder(), run);
  if (record.result == update::RunResult::kFailed) {
    record.failedStep = run.FailedStep.empty() ? update::StepName(run.UpdateStep) : run.FailedStep;
    record.failedCode = run.FailedCode;
  }
  if (runBegun_) {
    record.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - runStart_).count();
  }
  return record;
}

update::RunRecord UpdateSession::RecordRun(RunEnd end, bool answeredNo) {
  const update::RunRecord record = RecordOf(end, answeredNo);
  if (!recordFile_.empty()) {
    std::string why;
    if (!update::AppendRecord(recordFile_, record, why)) {
      engine_.View().AppendLog(messages::Filled(
          messages::MSG_RECORD_NOT_WRITTEN, settings_.LanguageIndex, recordFile_.string(), why));
    }
  }
  runBegun_ = false;
  return record;
}

}  // namespace shell
