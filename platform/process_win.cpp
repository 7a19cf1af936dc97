// Program start on Windows: CreateProcess with the command line the C runtime splits back into
// the argument vector, the inherited environment with the added entries, and the process handle
// to poll and to end.
#include <windows.h>

#include <algorithm>
#include <cctype>

#include "core/win_text.h"
#include "platform/process.h"

namespace platform {
namespace {

std::vector<std::string> InheritedEnvironment() {
  std::vector<std::string> entries;
  wchar_t* block = GetEnvironmentStringsW();
  if (!block) return entries;
  for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
    entries.push_back(wintext::Utf8(entry));
  }
  FreeEnvironmentStringsW(block);
  return entries;
}

// Entries each ended by a NUL, the block by another one; sorted by name without regard to case,
// as Windows keeps an environment block.
std::wstring EnvironmentBlock(std::vector<std::string> entries) {
  const auto name = [](const std::string& entry) {
    std::string upper = entry.substr(0, entry.find('=', 1));
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
  };
  std::stable_sort(entries.begin(), entries.end(),
                   [&](const std::string& a, const std::string& b) { return name(a) < name(b); });
  std::wstring block;
  for (const std::string& entry : entries) {
    if (entry.empty()) continue;  // an empty entry would end the block early
    block += wintext::Wide(entry);
    block += L'\0';
  }
  block += L'\0';
  return block;
}

class WinChild : public ChildProcess {
 public:
  explicit WinChild(HANDLE process) : process_(process) {}
  // A program still running when its owner goes is ended, never left behind.
  ~WinChild() override {
    if (!exitCode_) Kill();
    CloseHandle(process_);
  }
  WinChild(const WinChild&) = delete;
  WinChild& operator=(const WinChild&) = delete;

  std::optional<int32_t> Poll() override {
    if (exitCode_) return exitCode_;
    const DWORD state = WaitForSingleObject(process_, 0);
    if (state == WAIT_OBJECT_0) {
      Collect();
    } else if (state == WAIT_FAILED) {
      exitCode_ = 255;  // nothing left to wait for
    }
    return exitCode_;
  }

  void Kill() override {
    if (exitCode_) return;
    TerminateProcess(process_, 255);
    WaitForSingleObject(process_, INFINITE);
    Collect();
  }

 private:
  void Collect() {
    DWORD code = 255;
    GetExitCodeProcess(process_, &code);
    exitCode_ = static_cast<int32_t>(code);
  }

  HANDLE process_;
  std::optional<int32_t> exitCode_;
};

class WinLauncher : public ProcessLauncher {
 public:
  std::unique_ptr<ChildProcess> Start(const ProcessCommand& command, std::string& error) override {
    const std::wstring program = wintext::Wide(command.program);
    std::wstring line = wintext::Wide(WindowsCommandLine(command.program, command.arguments));
    std::wstring environment =
        EnvironmentBlock(MergedEnvironment(InheritedEnvironment(), command.environment, true));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    // The program is named by its path: CreateProcess neither searches for it nor adds ".exe".
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup,
                        &started)) {
      error = wintext::SystemErrorText(GetLastError());
      return nullptr;
    }
    CloseHandle(started.hThread);
    return std::make_unique<WinChild>(started.hProcess);
  }
};

}  // namespace

ProcessLauncher& SystemProcesses() {
  static WinLauncher launcher;
  return launcher;
}

std::string ExeHost() {
  return {};
}

}  // namespace platform
