// The locked append on POSIX systems: O_APPEND puts every write at the end, flock keeps a
// second program from appending between the size check and the write.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "platform/record_file.h"

namespace platform {
namespace {

// Writes all of text; a short write (a full disk) is cut back so no half line stays behind.
bool WriteAll(int fd, const std::string& text, std::string& error) {
  struct stat before {};
  if (fstat(fd, &before) != 0) {
    error = std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = std::strerror(n < 0 ? errno : ENOSPC);
      if (done > 0 && ftruncate(fd, before.st_size) != 0) {
        // The cut failed too: the reason of the write is the one to report.
      }
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool AppendWholeLine(const std::filesystem::path& file, const std::string& header,
                     const std::string& line, std::string& error) {
  std::error_code folderError;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), folderError);
  const int fd = open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  bool ok = false;
  if (flock(fd, LOCK_EX) != 0) {
    error = std::strerror(errno);
  } else {
    struct stat status {};
    if (fstat(fd, &status) != 0) {
      error = std::strerror(errno);
    } else {
      ok = WriteAll(fd, status.st_size == 0 ? header + line : line, error);
    }
    flock(fd, LOCK_UN);
  }
  if (close(fd) != 0 && ok) {
    error = std::strerror(errno);
    ok = false;
  }
  return ok;
}

std::filesystem::path UserDataFolder() {
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/') return data;
  if (const char* home = std::getenv("HOME"); home && *home) {
    return std::filesystem::path(home) / ".local" / "share";
  }
  return {};
}

}  // namespace platform
