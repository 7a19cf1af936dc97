// Starts a program for a benchmark: its output (standard output and error) into a file, in a
// folder of its own, with the environment given. The process id, or -1.
#pragma once

#include <fcntl.h>
#include <spawn.h>

#include <filesystem>
#include <string>
#include <vector>

namespace bench {

inline pid_t Spawn(const std::vector<std::string>& words, const std::vector<std::string>& env,
                   const std::filesystem::path& folder, const std::filesystem::path& out) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  std::vector<std::string> w = words, e = env;
  std::vector<char*> argv, envp;
  for (std::string& s : w) argv.push_back(s.data());
  for (std::string& s : e) envp.push_back(s.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, w[0].c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

}  // namespace bench
