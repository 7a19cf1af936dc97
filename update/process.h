// Starting a separate program and waiting for it. A program is started by its path with an
// argument vector (no shell, so a file name with blanks stays one argument); tests put a double
// in place of the launcher to check the command line without starting anything.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace update {

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

}  // namespace update
