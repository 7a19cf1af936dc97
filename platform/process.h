// Starting a separate program and waiting for it. A program is started by its path with an
// argument vector (no shell, so a file name with blanks stays one argument); tests put a double
// in place of the launcher to check the command line without starting anything.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct ProcessCommand {
  std::string program;                   // path of the executable
  std::vector<std::string> arguments;    // after the program's own name
  std::vector<std::string> environment;  // "NAME=value" entries added to the inherited ones
};

class ChildProcess {
 public:
  virtual ~ChildProcess() = default;
  // The exit code once the program has ended (128 + the signal's number when a signal ended
  // it); nothing while it runs. Never blocks.
  virtual std::optional<int32_t> Poll() = 0;
  // Ends the program at once and collects it.
  virtual void Kill() = 0;
};

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // The running program, or null with error saying why it could not be started.
  virtual std::unique_ptr<ChildProcess> Start(const ProcessCommand& command,
                                              std::string& error) = 0;
};

// The launcher of the operating system.
ProcessLauncher& SystemProcesses();

// What runs a Windows program (".exe") on this system: the name of a program looked for in the
// search path (wine), or empty where such programs start by themselves.
std::string ExeHost();

// A child's environment: the inherited entries, each one replaced by an added entry of the same
// name (compared without regard to ASCII case where names are so compared), then the added ones.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& inherited,
                                           const std::vector<std::string>& added,
                                           bool namesIgnoreCase);

// The command line a Windows program is started with: the program, then each argument, quoted
// where needed so that the program's C runtime splits the line into exactly these words.
std::string WindowsCommandLine(const std::string& program,
                               const std::vector<std::string>& arguments);

}  // namespace platform
