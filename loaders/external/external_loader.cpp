#include "loaders/external/external_loader.h"

#include <cstdlib>
#include <sstream>
#include <system_error>

#include "package/messages.h"
#include "serial/port_names.h"
#include "update/display.h"

namespace loaders {
namespace {

constexpr uint32_t kWaitStepMs = 200;
constexpr const char* kPortDeviceVariable = "UPDATE_PORT_DEVICE";

// The text with its placeholders X filled in order; an X inside an inserted value stays.
std::string Fill(std::string_view text, const std::vector<std::string>& values) {
  std::string out;
  size_t next = 0;
  for (char c : text) {
    if (c == 'X' && next < values.size()) {
      out += values[next++];
    } else {
      out += c;
    }
  }
  return out;
}

bool IsFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

std::filesystem::path FindInPath(const std::string& name, const std::string& searchPath) {
  std::stringstream folders(searchPath);
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (folder.empty()) continue;
    const std::filesystem::path candidate = std::filesystem::path(folder) / name;
    if (IsFile(candidate)) return candidate;
  }
  return {};
}

}  // namespace

std::vector<std::string> HexLoaderArgs(int32_t activeComIndex, bool mainFileMarked) {
  return {"-com" + std::to_string(activeComIndex + 1),
          std::string("-baudrate") + (mainFileMarked ? "9600" : "38400"), "-auto", "-exit"};
}

std::vector<std::string> Pic32LoaderArgs(const std::string& fileName, int32_t activeComIndex,
                                         bool windowsProgram) {
  if (activeComIndex < 0 || (windowsProgram && activeComIndex > 8)) return {};
  return {"-f" + fileName, "-c" + std::to_string(activeComIndex + 1), "-b7", "-a"};
}

LoaderProgram FindLoaderProgram(const std::filesystem::path& folder, const std::string& name,
                                const std::string& searchPath, const std::string& exeHost) {
  LoaderProgram found;
  const std::filesystem::path exe = folder / (name + ".exe");
  if (exeHost.empty()) {
    // Where a Windows program runs by itself, it is the native one.
    if (IsFile(exe)) {
      found.found = LoaderProgram::Found::kNative;
      found.program = exe.string();
      found.windowsProgram = true;
    }
    return found;
  }
  if (const std::filesystem::path native = folder / name; IsFile(native)) {
    found.found = LoaderProgram::Found::kNative;
    found.program = native.string();
    return found;
  }
  if (!IsFile(exe)) return found;
  const std::filesystem::path wine = FindInPath(exeHost, searchPath);
  if (wine.empty()) {
    found.found = LoaderProgram::Found::kNoWine;
    return found;
  }
  found.found = LoaderProgram::Found::kThroughWine;
  found.program = wine.string();
  found.arguments = {exe.string()};
  found.windowsProgram = true;
  return found;
}

ExternalLoaders::ExternalLoaders(update::RunHost& run, ExternalLoaderSetup setup)
    : run_(run), setup_(std::move(setup)) {
  std::error_code error;
  folder_ =
      setup_.programFolder.empty() ? std::filesystem::current_path(error) : setup_.programFolder;
  if (!setup_.processes) setup_.processes = &platform::SystemProcesses();
  if (!setup_.exeHost) setup_.exeHost = platform::ExeHost();
  if (setup_.searchPath.empty()) {
    const char* path = std::getenv("PATH");
    setup_.searchPath = path ? path : "";
  }
}

int32_t ExternalLoaders::Run(const std::string& fileName) {
  using Launcher = int32_t (ExternalLoaders::*)(const std::string&);
  static constexpr Launcher kLoaderLaunchers[] = {&ExternalLoaders::RunHexLoader,
                                                  &ExternalLoaders::RunPic32Loader};
  const int32_t index = static_cast<int32_t>(run_.Devices().DeviceKind) / 2;
  if (index < 0 || index >= static_cast<int32_t>(std::size(kLoaderLaunchers))) {
    const int32_t language = run_.Language();
    run_.View().AppendLog(std::string(messages::LanguageRow(language) == 1
                                          ? "External loader"
                                          : "Externes Ladeprogramm") +
                          std::string(messages::Text(messages::MSG_PATH_NOT_AVAILABLE, language)));
    return kLaunchFailed;
  }
  return (this->*kLoaderLaunchers[index])(fileName);
}

update::LoaderResult ExternalLoaders::Result(const std::string& fileName) {
  const int32_t code = Run(fileName);
  return code == 0 ? update::LoaderResult::Programmed() : update::LoaderResult::Failed(code);
}

int32_t ExternalLoaders::RunHexLoader(const std::string& fileName) {
  update::UpdateView& view = run_.View();
  view.SetWaitPanelVisible(false);
  if (!update::FileNamed(run_.Record().MainFile)) return 1;
  if (!HandOverPort()) return kLaunchFailed;
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(fileName, error);
  ExpectedLoaderTicks = error ? 0.0f : static_cast<float>(size / kBytesPerTick);
  LoaderTicks = 0;

  int32_t result;
  if (std::unique_ptr<THexLoad> loader = MakeM16Loader(); loader && loader->IsLoaded()) {
    result = RunLibraryJob(*loader, fileName);
    if (result == kLibraryHung) {
      // A call into the library that never returns cannot be ended: the loader is left to its
      // worker, which ends it once the call returns, so the run can go on.
      loader.release()->Abandon();
      result = kLaunchFailed;
    }
  } else {
    std::vector<std::string> arguments{fileName};
    const std::vector<std::string> tail =
        HexLoaderArgs(run_.ActiveComIndex(), run_.Record().MainFileMarked);
    arguments.insert(arguments.end(), tail.begin(), tail.end());
    Delay(1000, true);
    const std::optional<LoaderProgram> program = FindProgram(kHexLoadName);
    result = program ? RunProgram(*program, kHexLoadName, arguments, true, 1000) : kLaunchFailed;
  }
  TakeBackPort(result, true);
  Delay(500, false);
  update::ShowProgress(view, run_.Language(), "", -1);
  return result;
}

int32_t ExternalLoaders::RunPic32Loader(const std::string& fileName) {
  update::UpdateView& view = run_.View();
  view.SetWaitPanelVisible(false);
  if (!update::FileNamed(run_.Record().MainFile)) return 1;
  const std::optional<LoaderProgram> program = FindProgram(kPic32Name);
  if (!program) return kLaunchFailed;
  const int32_t comIndex = run_.ActiveComIndex();
  const std::vector<std::string> arguments =
      Pic32LoaderArgs(fileName, comIndex, program->windowsProgram);
  if (arguments.empty()) {
    // Refused before the port is touched: the program would be told a wrong port.
    Log(messages::MSG_LOADER_PORT_NUMBER,
        {std::string(kPic32Name) + ".exe", serial::PortDisplayName(comIndex)});
    return kLaunchFailed;
  }
  if (!HandOverPort()) return kLaunchFailed;
  Delay(1000, true);
  const int32_t result = RunProgram(*program, kPic32Name, arguments, false, 1500);
  TakeBackPort(result, false);
  Delay(200, true);
  update::ShowProgress(view, run_.Language(), "", -1);
  return result;
}

int32_t ExternalLoaders::RunLibraryJob(THexLoad& loader, const std::string& fileName) {
  update::UpdateView& view = run_.View();
  const std::string library = platform::SharedLibraryFileName(kM16LibraryName);
  view.SetProgress(0);
  view.SetProgressMax(105);
  Delay(1000, true);
  if (const M16Stage missing = MissingM16Entry(loader.Entries()); missing != M16Stage::kNone) {
    Log(messages::MSG_M16_ENTRY_MISSING, {library, M16EntryName(missing)});
    return kLaunchFailed;
  }
  if (!loader.Start(fileName, run_.ActiveComIndex() + 1)) {
    Log(messages::MSG_M16_FILE_NAME, {fileName});
    return kLaunchFailed;
  }
  // The library gets the deadline of a program. The worker posts with every piece of progress,
  // so each wait ends early to show it.
  if (!AwaitBounded([&loader] { return !loader.IsBusy(); }, 1000,
                    [&] { loader.DeliverProgress(view, run_.Language()); })) {
    Log(messages::MSG_LOADER_TIMEOUT, {library, std::to_string(setup_.deadlineMs / 60000)});
    return kLibraryHung;
  }
  loader.DeliverProgress(view, run_.Language());
  if (titleTimer_) titleTimer_->SetEnabled(false);
  if (const M16Stage failed = loader.FailedStage(); failed != M16Stage::kNone) {
    Log(messages::MSG_M16_STAGE_FAILED, {M16EntryName(failed)});
    return kLaunchFailed;
  }
  return 0;
}

std::optional<LoaderProgram> ExternalLoaders::FindProgram(const std::string& name) {
  LoaderProgram program = FindLoaderProgram(folder_, name, setup_.searchPath, *setup_.exeHost);
  if (program.found == LoaderProgram::Found::kMissing) {
    Log(messages::MSG_LOADER_MISSING, {name, folder_.string()});
    return std::nullopt;
  }
  if (program.found == LoaderProgram::Found::kNoWine) {
    Log(messages::MSG_LOADER_NO_WINE, {name + ".exe", folder_.string()});
    return std::nullopt;
  }
  return program;
}

int32_t ExternalLoaders::RunProgram(const LoaderProgram& program, const std::string& name,
                                    const std::vector<std::string>& arguments, bool titleProgress,
                                    int32_t pauseMs) {
  platform::ProcessCommand command{program.program, program.arguments, {}};
  command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
  if (const auto device = serial::PortDeviceOf(run_.ActiveComIndex())) {
    command.environment.push_back(std::string(kPortDeviceVariable) + "=" + device->path);
  }
  int32_t result = 1;
  // A program asks for another run with exit code 1.
  for (int attempt = 0; attempt < kAttempts && result == 1; ++attempt) {
    result = RunOnce(command, name, titleProgress);
    if (result == kLaunchFailed) break;
    Delay(pauseMs, true);
  }
  if (result != 0 && result != kLaunchFailed) {
    Log(messages::MSG_LOADER_EXIT_CODE, {name, std::to_string(result)});
  }
  return result;
}

int32_t ExternalLoaders::RunOnce(const platform::ProcessCommand& command, const std::string& name,
                                 bool titleProgress) {
  LoaderTicks = 0;
  if (titleProgress) {
    if (!titleTimer_) {
      titleTimer_ = run_.Events().windows.CreateTimer();
      titleTimer_->SetInterval(kTitleTickMs);
      titleTimer_->SetHandler([this](core::WindowTimer&) {
        update::TitleTimerTimer(run_.View(), run_.Language(), LoaderTicks, ExpectedLoaderTicks);
      });
    }
    titleTimer_->SetEnabled(true);
  }
  std::string error;
  std::unique_ptr<platform::ChildProcess> child = setup_.processes->Start(command, error);
  int32_t result = kLaunchFailed;
  if (child) {
    result = AwaitExit(*child, name);
  } else {
    Log(messages::MSG_LOADER_NOT_STARTED, {name, folder_.string(), error});
  }
  if (titleTimer_) titleTimer_->SetEnabled(false);
  return result;
}

int32_t ExternalLoaders::AwaitExit(platform::ChildProcess& child, const std::string& name) {
  std::optional<int32_t> code;
  if (!AwaitBounded([&] { return (code = child.Poll()).has_value(); }, kWaitStepMs, {})) {
    child.Kill();
    Log(messages::MSG_LOADER_TIMEOUT, {name, std::to_string(setup_.deadlineMs / 60000)});
    return kLaunchFailed;
  }
  return *code;
}

bool ExternalLoaders::HandOverPort() {
  serial::TComPort* port = run_.ActiveComPort();
  if (!port) return false;
  line_.emplace(*port, LineGuard::Way::kPortSlot);
  port->Close();
  return true;
}

void ExternalLoaders::TakeBackPort(int32_t result, bool startMode2Line) {
  serial::TComPort* port = run_.ActiveComPort();
  if (!port || !line_) return;
  port->Open(&run_.Events().windows, run_.ActiveComIndex(), true);
  if (startMode2Line && run_.Devices().StartMode == package::StartVariant::kSensor && result == 0) {
    line_->Keep();
    port->ChangeV24Parameter(serial::B__9600, serial::S_2, serial::NoParity, true);
  } else {
    // Opening sets the port's recorded parameters: the line the instrument was found on is put
    // back as it was.
    line_->RestoreAfterReopen();
  }
  line_.reset();
}

bool ExternalLoaders::AwaitBounded(const std::function<bool()>& ended, uint32_t stepMs,
                                   const std::function<void()>& onStep) {
  core::WindowSystem& windows = run_.Events().windows;
  const uint32_t deadline = windows.TickCount() + setup_.deadlineMs;
  while (!ended()) {
    const uint32_t now = windows.TickCount();
    if (core::TickReached(now, deadline)) return false;
    const uint32_t step = now + stepMs;
    windows.WaitMessages(core::TickReached(step, deadline) ? deadline : step);
    if (onStep) onStep();
  }
  return true;
}

std::unique_ptr<THexLoad> ExternalLoaders::MakeM16Loader() {
  const std::filesystem::path file = folder_ / platform::SharedLibraryFileName(kM16LibraryName);
  std::string error;
  std::unique_ptr<platform::SharedLibrary> library;
  if (IsFile(file)) {
    library = setup_.openLibrary ? setup_.openLibrary(file, error)
                                 : platform::OpenSharedLibrary(file, error);
  }
  if (!library) {
    // Without the library the program is used, as on an installation that never had one.
    if (!error.empty()) run_.LogLine(file.string() + ": " + error);
    return nullptr;
  }
  THexLoad::Sleep sleep = setup_.sleep;
  if (!sleep) {
    const int32_t dividend = run_.Events().wait.Dividend();
    sleep = [dividend](std::chrono::milliseconds ms) {
      std::this_thread::sleep_for(ms / dividend);
    };
  }
  return std::make_unique<THexLoad>(run_.Events().windows, std::move(library), sleep);
}

void ExternalLoaders::Log(int id, const std::vector<std::string>& values) {
  const std::string_view text =
      messages::Text(static_cast<messages::MessageId>(id), run_.Language());
  run_.View().AppendLog(Fill(text, values));
}

void ExternalLoaders::Delay(int32_t ms, bool processMessages) {
  run_.Events().wait.DelayTime(ms, processMessages);
}

}  // namespace loaders
