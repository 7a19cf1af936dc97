// Replacing a file on POSIX systems: a temporary file beside it, synced, renamed over it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "package/ini_lines.h"

namespace package {
namespace {

// Writes all bytes, retrying short writes.
bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string ReplaceFileAtomically(const std::filesystem::path& file, const std::string& bytes) {
  // A file the user made read-only stays as it is: renaming over it would bypass that.
  if (::access(file.c_str(), F_OK) == 0 && ::access(file.c_str(), W_OK) != 0) {
    return std::strerror(errno);
  }
  std::string temp = file.string() + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return std::strerror(errno);
  struct stat old {};
  const mode_t mode = ::stat(file.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  bool ok = WriteAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  int savedErrno = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (ok && ::rename(temp.c_str(), file.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return std::strerror(savedErrno);
  }
  return {};
}

}  // namespace package
