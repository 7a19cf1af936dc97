#include <windows.h>

#include <cstdlib>

#include "tests/support/platform.h"

namespace test {

void SetEnvironment(const std::string& name, const std::string& value) {
  _putenv_s(name.c_str(), value.c_str());
}

void UnsetEnvironment(const std::string& name) {
  // An empty value removes the variable.
  _putenv_s(name.c_str(), "");
}

// std::clock counts wall time here; the kernel and user times of the process are the processor's.
double ProcessCpuMs() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0.0;
  const auto ticks = [](const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;  // 100 ns ticks
}

const char* GermanLocaleName() {
  return "German_Germany.1252";
}

namespace {

// Opened without sharing: every other open of the file fails while the handle lives.
class SharingDenied : public Held {
 public:
  explicit SharingDenied(HANDLE handle) : handle_(handle) {}
  ~SharingDenied() override { CloseHandle(handle_); }

 private:
  HANDLE handle_;
};

}  // namespace

std::unique_ptr<Held> HoldFile(const std::filesystem::path& file) {
  const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<SharingDenied>(handle);
}

// Windows has no limit of the file size per process.
std::unique_ptr<Held> LimitFileSize(std::uintmax_t) {
  return nullptr;
}

}  // namespace test
