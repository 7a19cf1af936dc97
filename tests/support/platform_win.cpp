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

namespace {

// Opened without sharing: every other open of the file fails while the handle lives.
class SharingDenied : public HeldFile {
 public:
  explicit SharingDenied(HANDLE handle) : handle_(handle) {}
  ~SharingDenied() override { CloseHandle(handle_); }

 private:
  HANDLE handle_;
};

}  // namespace

std::unique_ptr<HeldFile> HoldFile(const std::filesystem::path& file) {
  const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<SharingDenied>(handle);
}

}  // namespace test
