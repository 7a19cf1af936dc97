#include "update/external_loader.h"

#include <cstdlib>
#include <sstream>
#include <system_error>

#include "package/messages.h"
#include "serial/port_names.h"
#include "update/display.h"
#include "update/engine.h"

namespace update {
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

ExternalLoaders::ExternalLoaders(UpdateEngine& engine, ExternalLoaderSetup setup)
    : engine_(engine), setup_(std::move(setup)) {
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
  const int32_t index = static_cast<int32_t>(engine_.Devices().DeviceKind) / 2;
  if (index < 0 || index >= static_cast<int32_t>(std::size(kLoaderLaunchers))) {
    const int32_t language = engine_.Language();
    engine_.View().AppendLog(
        std::string(messages::LanguageRow(language) == 1 ? "External loader"
                                                         : "Externes Ladeprogramm") +
        std::string(messages::Text(messages::MSG_PATH_NOT_AVAILABLE, language)));
    return kLaunchFailed;
  }
  return (this->*kLoaderLaunchers[index])(fileName);
}

int32_t ExternalLoaders::RunHexLoader(const std::string& fileName) {
  UpdateView& view = engine_.View();
  view.SetWaitPanelVisible(false);
  if (!FileNamed(engine_.Context.MainFile)) return 1;
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
        HexLoaderArgs(engine_.State().ActiveComIndex, engine_.Context.MainFileMarked);
    arguments.insert(arguments.end(), tail.begin(), tail.end());
    Delay(1000, true);
    const std::optional<LoaderProgram> program = FindProgram(kHexLoadName);
    result = program ? RunProgram(*program, kHexLoadName, arguments, true, 1000) : kLaunchFailed;
  }
  TakeBackPort(result, true);
  Delay(500, false);
  ShowProgress(view, engine_.Language(), "", -1);
  return result;
}

int32_t ExternalLoaders::RunPic32Loader(const std::string& fileName) {
  UpdateView& view = engine_.View();
  view.SetWaitPanelVisible(false);
  if (!FileNamed(engine_.Context.MainFile)) return 1;
  const std::optional<LoaderProgram> program = FindProgram(kPic32Name);
  if (!program) return kLaunchFailed;
  const int32_t comIndex = engine_.State().ActiveComIndex;
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
  ShowProgress(view, engine_.Language(), "", -1);
  return result;
}

int32_t ExternalLoaders::RunLibraryJob(THexLoad& loader, const std::string& fileName) {
  UpdateView& view = engine_.View();
  const std::string library = platform::SharedLibraryFileName(kM16LibraryName);
  view.SetProgress(0);
  view.SetProgressMax(105);
  Delay(1000, true);
  if (const M16Stage missing = MissingM16Entry(loader.Entries()); missing != M16Stage::kNone) {
    Log(messages::MSG_M16_ENTRY_MISSING, {library, M16EntryName(missing)});
    return kLaunchFailed;
  }
  if (!loader.Start(fileName, engine_.State().ActiveComIndex + 1)) {
    Log(messages::MSG_M16_FILE_NAME, {fileName});
    return kLaunchFailed;
  }
  core::WindowSystem& windows = engine_.Events().windows;
  // The library gets the deadline of a program.
  const uint32_t deadline = windows.TickCount() + setup_.deadlineMs;
  while (loader.IsBusy()) {
    const uint32_t now = windows.TickCount();
    if (core::TickReached(now, deadline)) {
      Log(messages::MSG_LOADER_TIMEOUT, {library, std::to_string(setup_.deadlineMs / 60000)});
      return kLibraryHung;
    }
    // The worker posts with every piece of progress, so the wait ends early to show it.
    const uint32_t step = now + 1000;
    windows.WaitMessages(core::TickReached(step, deadline) ? deadline : step);
    loader.DeliverProgress(view, engine_.Language());
  }
  loader.DeliverProgress(view, engine_.Language());
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
  if (const auto device = serial::PortDeviceOf(engine_.State().ActiveComIndex)) {
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
      titleTimer_ = engine_.Events().windows.CreateTimer();
      titleTimer_->SetInterval(kTitleTickMs);
      titleTimer_->SetHandler([this](core::WindowTimer&) {
        TitleTimerTimer(engine_.View(), engine_.Language(), LoaderTicks, ExpectedLoaderTicks);
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
  core::WindowSystem& windows = engine_.Events().windows;
  const uint32_t deadline = windows.TickCount() + setup_.deadlineMs;
  for (;;) {
    if (const std::optional<int32_t> code = child.Poll()) return *code;
    const uint32_t now = windows.TickCount();
    if (core::TickReached(now, deadline)) {
      child.Kill();
      Log(messages::MSG_LOADER_TIMEOUT, {name, std::to_string(setup_.deadlineMs / 60000)});
      return kLaunchFailed;
    }
    const uint32_t step = now + kWaitStepMs;
    windows.WaitMessages(core::TickReached(step, deadline) ? deadline : step);
  }
}

bool ExternalLoaders::HandOverPort() {
  serial::TComPort* port = engine_.ActiveComPort();
  if (!port) return false;
  port->SaveLastV24Parameter();
  savedLine_ = port->LoadV24Parameter();
  port->Close();
  return true;
}

void ExternalLoaders::TakeBackPort(int32_t result, bool startMode2Line) {
  serial::TComPort* port = engine_.ActiveComPort();
  if (!port) return;
  port->Open(&engine_.Events().windows, engine_.State().ActiveComIndex, true);
  if (startMode2Line && engine_.Devices().StartMode == package::StartVariant::kSensor &&
      result == 0) {
    port->ChangeV24Parameter(serial::B__9600, serial::S_2, serial::NoParity, true);
  } else {
    // Opening forgets the line saved with SaveLastV24Parameter and sets the port's recorded
    // parameters: the line the instrument was found on is put back as it was.
    port->SaveV24Parameter(&savedLine_);
  }
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
    if (!error.empty()) engine_.LogLine(file.string() + ": " + error);
    return nullptr;
  }
  THexLoad::Sleep sleep = setup_.sleep;
  if (!sleep) {
    const int32_t dividend = engine_.Events().wait.Dividend();
    sleep = [dividend](std::chrono::milliseconds ms) {
      std::this_thread::sleep_for(ms / dividend);
    };
  }
  return std::make_unique<THexLoad>(engine_.Events().windows, std::move(library), sleep);
}

void ExternalLoaders::Log(int id, const std::vector<std::string>& values) {
  const std::string_view text =
      messages::Text(static_cast<messages::MessageId>(id), engine_.Language());
  engine_.View().AppendLog(Fill(text, values));
}

void ExternalLoaders::Delay(int32_t ms, bool processMessages) {
  engine_.Events().wait.DelayTime(ms, processMessages);
}

}  // namespace update
