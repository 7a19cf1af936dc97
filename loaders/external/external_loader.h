// The external loaders: instruments programmed by a separate program that is started, waited
// for and judged by its exit code, or, for device kinds 0 and 1, by the M16 loader library when
// the program folder holds it. The program gets the instrument's port for the time it runs: the
// line is saved and the port closed before, the port reopened and the line restored after, in
// every case.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/run_scaffold.h"
#include "core/window_system.h"
#include "loaders/external/hex_load.h"
#include "loaders/run/line_guard.h"
#include "platform/process.h"
#include "platform/shared_library.h"
#include "update/loader_result.h"
#include "update/run_host.h"

namespace loaders {

// The launchers' results besides a program's own exit code: 0 success, 1 nothing to do (no
// main file). kLaunchFailed: the program or the loader library's job could not be started, ran
// past its deadline, could not be told the port, or the library reported a failed stage.
inline constexpr int32_t kLaunchFailed = -1;

// What the launchers take from their surroundings; tests replace each part.
struct ExternalLoaderSetup {
  // Starts the programs; null: the operating system's.
  platform::ProcessLauncher* processes = nullptr;
  // Loads the M16 loader library; empty: the operating system's loader.
  std::function<std::unique_ptr<platform::SharedLibrary>(const std::filesystem::path&,
                                                         std::string&)>
      openLibrary;
  // The worker's wait; empty: a real sleep, divided like every delay of the run.
  THexLoad::Sleep sleep;
  // Where the programs and the library are; empty: the working folder (the firmware package).
  std::filesystem::path programFolder;
  // Where wine is looked for; empty: the environment's PATH.
  std::string searchPath;
  // What runs a Windows program (".exe"): a program looked for in searchPath, or empty where
  // such programs start by themselves; unset: this system's way (platform::ExeHost).
  std::optional<std::string> exeHost;
  // A program that runs longer is ended and the run fails.
  uint32_t deadlineMs = 20 * 60 * 1000;
};

// The arguments of the HEXLoad program after the file name: "-com<n>" with the 1-based port,
// "-baudrate9600" for a marked main file (otherwise 38400), "-auto", "-exit".
std::vector<std::string> HexLoaderArgs(int32_t activeComIndex, bool mainFileMarked);
// The arguments of the PIC32 program: "-f<file>" "-c<n>" "-b7" "-a" with the 1-based port
// number. The Windows program reads one digit only: for it (windowsProgram) the arguments are
// empty beyond COM9; a program of this system finds the device in its environment.
std::vector<std::string> Pic32LoaderArgs(const std::string& fileName, int32_t activeComIndex,
                                         bool windowsProgram);

// A program of the program folder as it is started: the native program of that name, else its
// ".exe" through exeHost (wine) found in searchPath. With no exeHost the ".exe" is the native
// program.
struct LoaderProgram {
  enum class Found { kNative, kThroughWine, kMissing, kNoWine };
  Found found = Found::kMissing;
  std::string program;                 // what is started
  std::vector<std::string> arguments;  // in front of the loader's own arguments (the .exe)
  bool windowsProgram = false;         // the ".exe", by itself or through wine
};
LoaderProgram FindLoaderProgram(const std::filesystem::path& folder, const std::string& name,
                                const std::string& searchPath, const std::string& exeHost);

class ExternalLoaders {
 public:
  static constexpr const char* kHexLoadName = "HEXLoad_8N1";
  static constexpr const char* kPic32Name = "PIC32_Serial_Bootloader";
  static constexpr const char* kM16LibraryName = "QolmarM16Updater";
  static constexpr uint32_t kTitleTickMs = 300;
  static constexpr int32_t kBytesPerTick = 2000;
  static constexpr int kAttempts = 3;

  ExternalLoaders(update::RunHost& run, ExternalLoaderSetup setup);

  // The launcher of the run's DeviceKind: kinds 0 and 1 RunHexLoader, 2 and 3 RunPic32Loader.
  // 0 when the file was programmed.
  int32_t Run(const std::string& fileName);
  // The same as the programming paths give it: programmed, or failed with the launcher's code.
  update::LoaderResult Result(const std::string& fileName);
  int32_t RunHexLoader(const std::string& fileName);
  int32_t RunPic32Loader(const std::string& fileName);

  // The title's progress estimate while the HEXLoad program runs.
  int32_t LoaderTicks = 0;
  float ExpectedLoaderTicks = 0;

 private:
  // kLibraryHung: the job ran past the deadline and still holds the worker.
  static constexpr int32_t kLibraryHung = -2;
  int32_t RunLibraryJob(THexLoad& loader, const std::string& fileName);
  // The program of that name in the program folder; empty, after saying why, when it cannot run.
  std::optional<LoaderProgram> FindProgram(const std::string& name);
  int32_t RunProgram(const LoaderProgram& program, const std::string& name,
                     const std::vector<std::string>& arguments, bool titleProgress,
                     int32_t pauseMs);
  int32_t RunOnce(const platform::ProcessCommand& command, const std::string& name,
                  bool titleProgress);
  // Waits for the program in 200 ms steps with message processing, up to the deadline.
  int32_t AwaitExit(platform::ChildProcess& child, const std::string& name);
  // Saves the line and closes the port; false (nothing closed) without a port.
  bool HandOverPort();
  // Reopens the port and restores the line saved before (9600 8N2 after a success in StartMode
  // 2).
  void TakeBackPort(int32_t result, bool startMode2Line);
  // Waits, handling window messages, until ended() holds or deadlineMs have passed (false);
  // every stepMs it looks again and calls onStep.
  bool AwaitBounded(const std::function<bool()>& ended, uint32_t stepMs,
                    const std::function<void()>& onStep);
  std::unique_ptr<THexLoad> MakeM16Loader();
  void Log(int id, const std::vector<std::string>& values);
  void Delay(int32_t ms, bool processMessages);

  update::RunHost& run_;
  ExternalLoaderSetup setup_;
  std::filesystem::path folder_;
  std::unique_ptr<core::WindowTimer> titleTimer_;
  // The line the instrument was found on, while the program has the port.
  std::optional<LineGuard> line_;
};

}  // namespace loaders
