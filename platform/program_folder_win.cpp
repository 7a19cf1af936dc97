// The program folder on Windows: the folder of the module file the system started.
#include <windows.h>

#include <system_error>
#include <vector>

#include "platform/program_folder.h"

namespace platform {

std::filesystem::path ProgramFolder(const std::string&) {
  std::vector<wchar_t> name(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) break;
    if (length < name.size())
      return std::filesystem::path(std::wstring(name.data(), length)).parent_path();
    if (name.size() >= 32768) break;  // longer than any Windows path
    name.resize(name.size() * 2);
  }
  std::error_code error;
  return std::filesystem::current_path(error);
}

}  // namespace platform
