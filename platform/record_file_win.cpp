// The locked append on Windows: the file is opened for appending only, and LockFileEx over the
// whole file keeps a second program from appending between the size check and the write.
#include <windows.h>

#include <shlobj.h>

#include <cstdlib>

#include "platform/record_file.h"

namespace platform {
namespace {

std::string LastError() {
  return "Windows error " + std::to_string(GetLastError());
}

}  // namespace

bool AppendWholeLine(const std::filesystem::path& file, const std::string& header,
                     const std::string& line, std::string& error) {
  std::error_code folderError;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), folderError);
  HANDLE handle = CreateFileW(file.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = LastError();
    return false;
  }
  OVERLAPPED whole{};
  bool ok = false;
  if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    error = LastError();
  } else {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle, &size)) {
      error = LastError();
    } else {
      const std::string text = size.QuadPart == 0 ? header + line : line;
      DWORD written = 0;
      ok = WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
      if (!ok) error = LastError();
    }
    UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &whole);
  }
  CloseHandle(handle);
  return ok;
}

std::filesystem::path UserDataFolder() {
  PWSTR folder = nullptr;
  std::filesystem::path path;
  if (SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder) == S_OK) path = folder;
  CoTaskMemFree(folder);
  return path;
}

}  // namespace platform
