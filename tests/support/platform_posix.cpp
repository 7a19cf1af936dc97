#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/support/platform.h"

namespace test {

void SetEnvironment(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

void UnsetEnvironment(const std::string& name) {
  unsetenv(name.c_str());
}

namespace {

// The lock belongs to the open file: another descriptor of the same file is refused it.
class LockedFile : public HeldFile {
 public:
  explicit LockedFile(int fd) : fd_(fd) {}
  ~LockedFile() override { close(fd_); }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<HeldFile> HoldFile(const std::filesystem::path& file) {
  const int fd = open(file.c_str(), O_RDWR);
  if (fd < 0) return nullptr;
  if (flock(fd, LOCK_EX) != 0) {
    close(fd);
    return nullptr;
  }
  return std::make_unique<LockedFile>(fd);
}

}  // namespace test
