// Runs the real instrument-sim program for a test: its COMn links in a temporary folder, the
// profile written there, stopped with a signal at the end.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace simtest {

class SimProcess {
 public:
  // Starts instrument-sim with the profile text and further arguments; waits for "ready".
  SimProcess(const std::string& profile, const std::vector<std::string>& args);
  // The same with its links (and its relative files) in portDir, which several instruments may
  // share: one port folder, one instrument per port.
  SimProcess(const std::string& profile, const std::vector<std::string>& args,
             const std::filesystem::path& portDir);
  ~SimProcess();

  bool Ready() const { return ready_; }
  const std::filesystem::path& Folder() const { return portDir_; }
  std::string Port(int com) const { return (Folder() / ("COM" + std::to_string(com))).string(); }
  std::filesystem::path File(const std::string& name) const { return Folder() / name; }
  // Sends the signal and waits for the exit; returns the exit status (or -1).
  int Stop(int signal);
  const std::string& Output() const { return output_; }

 private:
  test::TempFolder folder_;
  std::filesystem::path portDir_ = folder_.Path();
  pid_t pid_ = -1;
  int out_ = -1;
  bool ready_ = false;
  std::string output_;
};

// Runs instrument-sim to its end with these arguments (for argument and profile errors).
int RunSim(const std::vector<std::string>& args, const std::string& portDir, std::string& output);

std::string ReadFile(const std::filesystem::path& path);

}  // namespace simtest
