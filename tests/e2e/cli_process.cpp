#include "tests/e2e/cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>

namespace e2e {
namespace {

std::string Hex(const std::string& text) {
  std::string out;
  for (char c : text) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X ", static_cast<unsigned char>(c));
    out += pair;
  }
  return out + "00";
}

void Write(const std::filesystem::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

void WriteDeviceFile(const std::filesystem::path& folder, const std::string& progFile2,
                     const std::string& progFile1, const std::string& swKenn1,
                     const std::string& prozTyp, const std::string& flashErase2) {
  Write(folder / "Update.ini", "[Update]\r\nLanguage=0\r\nVersion=1.00\r\nBaud=2,3\r\nCom=\r\n");
  Write(folder / "ProgDevice.ini",
        "[pH 340]\r\nDevStartCmd=1\r\nDeviceNrDef=XXXXX\r\nDeviceNr=20363\r\n"
        "DeviceName=pH 340\r\nProgFile1=" +
            progFile1 + "\r\nProgFile2=" + progFile2 + "\r\nProgFile3=\r\nSWKenn1=" + swKenn1 +
            "\r\nSWKenn2=@F000\\r\\n\r\nSWKenn3=\r\nBootLoadKenn=\r\nFlashErase1=\r\n"
            "FlashErase2=" +
            flashErase2 + "\r\nFlashErase3=\r\nProgDefFile=\r\nProzTyp=" + prozTyp +
            "\r\n\r\nStarttextD=Start NAME\r\nStarttextE=Start NAME\r\n"
            "AbbruchtextD=Abbruch !\\rNAME aus- und einschalten.\\rOk.\r\n"
            "AbbruchtextE=Abort !\\rSwitch NAME off and on.\\rOk.\r\n");
  std::error_code error;
  std::filesystem::create_symlink(UPDATE_CLI_PATH, folder / "update-cli", error);
}

}  // namespace

void WritePackage(const std::filesystem::path& folder, const std::string& version,
                  const std::string& secondVersion) {
  const bool second = !secondVersion.empty();
  WriteDeviceFile(folder, "Demo340.txt", second ? "Demo340.txt" : "", second ? "@E000\\r\\n" : "",
                  "149", "");
  std::string firmware = "@F000\r\n" + Hex(version) + "\r\n";
  if (second) firmware += "@E000\r\n" + Hex(secondVersion) + "\r\n";
  firmware += "@1100\r\n31 40 00 0A\r\n@FFFE\r\n00 11\r\nq\r\n";
  Write(folder / "Demo340.txt", firmware);
}

void WritePackage(const std::filesystem::path& folder, const ImagePackage& package) {
  WriteDeviceFile(folder, package.marked ? "Demo340.txt@" : "Demo340.txt", "", "", package.prozTyp,
                  package.flashErase2);
  Write(folder / "Demo340.txt", package.firmware);
}

CliResult RunCli(const std::filesystem::path& package, const std::filesystem::path& portDir,
                 const std::vector<std::string>& args, int limitSeconds,
                 const std::vector<std::string>& extraEnv,
                 const std::vector<std::string>& launcher) {
  CliResult result;
  int fds[2];
  if (pipe(fds) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addchdir_np(&actions, package.c_str());
  std::vector<std::string> words = launcher;
  words.push_back((package / "update-cli").string());
  words.insert(words.end(), args.begin(), args.end());
  const std::string program = words.front();
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  // The run record goes into the package folder, never into the user's data folder.
  std::vector<std::string> env{"UPDATE_PORT_DIR=" + portDir.string(), "UPDATE_TIME_SCALE=10",
                               "PATH=/usr/bin:/bin",
                               "XDG_DATA_HOME=" + (package / "user-data").string()};
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  const int spawned =
      posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned != 0) {
    close(fds[0]);
    return result;
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
  char buffer[4096];
  for (;;) {
    pollfd fd{fds[0], POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      kill(pid, SIGKILL);
      result.output += "\n[test: update-cli killed after the limit]\n";
      break;
    }
    if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    result.output.append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace e2e
