#include "tests/sim/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

extern char** environ;

namespace simtest {
namespace {

pid_t Spawn(const std::vector<std::string>& args, const std::string& portDir, int& out) {
  // Runs in the port folder, so relative paths of the arguments land there.
  int fds[2];
  if (pipe(fds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addchdir_np(&actions, portDir.c_str());
  std::vector<std::string> env{"UPDATE_PORT_DIR=" + portDir};
  std::vector<char*> argv{const_cast<char*>(INSTRUMENT_SIM_PATH)}, envp;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, INSTRUMENT_SIM_PATH, &actions, nullptr, argv.data(), envp.data()) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  out = fds[0];
  return pid;
}

// Reads what the program printed until `until` appears, the pipe closes or 10 s pass.
void ReadUntil(int fd, std::string& output, const std::string& until) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (until.empty() || output.find(until) == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) return;
    char buf[512];
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) return;
    output.append(buf, static_cast<size_t>(n));
  }
}

int Wait(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

SimProcess::SimProcess(const std::string& profile, const std::vector<std::string>& args)
    : SimProcess(profile, args, std::filesystem::path()) {}

SimProcess::SimProcess(const std::string& profile, const std::vector<std::string>& args,
                       const std::filesystem::path& portDir) {
  if (!portDir.empty()) portDir_ = portDir;
  std::vector<std::string> all{"--profile", folder_.Write("profile.ini", profile).string()};
  all.insert(all.end(), args.begin(), args.end());
  pid_ = Spawn(all, Folder().string(), out_);
  if (pid_ < 0) return;
  ReadUntil(out_, output_, "ready\n");
  ready_ = output_.find("ready\n") != std::string::npos;
}

SimProcess::~SimProcess() {
  if (pid_ > 0) Stop(SIGKILL);
}

int SimProcess::Stop(int signal) {
  if (pid_ <= 0) return -1;
  kill(pid_, signal);
  int status = Wait(pid_);
  pid_ = -1;
  ReadUntil(out_, output_, "");
  close(out_);
  return status;
}

int RunSim(const std::vector<std::string>& args, const std::string& portDir, std::string& output) {
  int out = -1;
  pid_t pid = Spawn(args, portDir, out);
  if (pid < 0) return -1;
  ReadUntil(out, output, "");
  close(out);
  return Wait(pid);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace simtest
