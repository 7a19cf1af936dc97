// Replacing a file on Windows: a temporary file beside it, flushed, moved over it.
#include <windows.h>

#include <algorithm>

#include "core/win_text.h"
#include "package/ini_lines.h"

namespace package {
namespace {

bool WriteAll(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

}  // namespace

std::string ReplaceFileAtomically(const std::filesystem::path& file, const std::string& bytes) {
  const DWORD attributes = GetFileAttributesW(file.c_str());
  // A file the user made read-only stays as it is.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    return wintext::SystemErrorText(ERROR_ACCESS_DENIED);
  }
  std::filesystem::path folder = file.parent_path();
  if (folder.empty()) folder = L".";
  wchar_t temp[MAX_PATH];
  if (!GetTempFileNameW(folder.c_str(), L"upd", 0, temp)) {
    return wintext::SystemErrorText(GetLastError());
  }
  const HANDLE out = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD failure = out == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
  if (failure == ERROR_SUCCESS) {
    // A write that handed over nothing may leave no error code: it still fails.
    if (!WriteAll(out, bytes) || !FlushFileBuffers(out)) {
      failure = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_WRITE_FAULT;
    }
    CloseHandle(out);
  }
  if (failure == ERROR_SUCCESS && attributes != INVALID_FILE_ATTRIBUTES) {
    SetFileAttributesW(temp, attributes);  // the old file's (hidden, archive, ...) stay
  }
  if (failure == ERROR_SUCCESS &&
      !MoveFileExW(temp, file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    failure = GetLastError();
  }
  if (failure != ERROR_SUCCESS) {
    DeleteFileW(temp);
    return wintext::SystemErrorText(failure);
  }
  return {};
}

}  // namespace package
