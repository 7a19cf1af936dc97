// Program start on POSIX systems: posix_spawn with an argument vector, waitpid to collect.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/process.h"

extern char** environ;

namespace platform {
namespace {

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& added) {
  std::vector<std::string> inherited;
  for (char** entry = environ; entry && *entry; ++entry) inherited.emplace_back(*entry);
  return MergedEnvironment(inherited, added, false);
}

std::vector<char*> Pointers(std::vector<std::string>& words) {
  std::vector<char*> pointers;
  for (std::string& word : words) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  return pointers;
}

int32_t ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 255;
}

class PosixChild : public ChildProcess {
 public:
  explicit PosixChild(pid_t pid) : pid_(pid) {}
  // A program still running when its owner goes is ended, never left behind as a zombie.
  ~PosixChild() override {
    if (!exitCode_) Kill();
  }

  std::optional<int32_t> Poll() override {
    if (exitCode_) return exitCode_;
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exitCode_ = ExitCodeOf(status);
    } else if (done < 0 && errno != EINTR) {
      exitCode_ = 255;  // nothing left to wait for
    }
    return exitCode_;
  }

  void Kill() override {
    if (exitCode_) return;
    kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    exitCode_ = ExitCodeOf(status);
  }

 private:
  pid_t pid_;
  std::optional<int32_t> exitCode_;
};

class PosixLauncher : public ProcessLauncher {
 public:
  std::unique_ptr<ChildProcess> Start(const ProcessCommand& command, std::string& error) override {
    std::vector<std::string> argv{command.program};
    argv.insert(argv.end(), command.arguments.begin(), command.arguments.end());
    std::vector<std::string> env = ChildEnvironment(command.environment);
    std::vector<char*> argvPointers = Pointers(argv);
    std::vector<char*> envPointers = Pointers(env);
    pid_t pid = -1;
    const int result = posix_spawn(&pid, command.program.c_str(), nullptr, nullptr,
                                   argvPointers.data(), envPointers.data());
    if (result != 0) {
      error = std::strerror(result);
      return nullptr;
    }
    return std::make_unique<PosixChild>(pid);
  }
};

}  // namespace

ProcessLauncher& SystemProcesses() {
  static PosixLauncher launcher;
  return launcher;
}

std::string ExeHost() {
  return "wine";
}

}  // namespace platform
