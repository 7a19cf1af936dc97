#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <ctime>

#include "tests/support/platform.h"

namespace test {

void SetEnvironment(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

void UnsetEnvironment(const std::string& name) {
  unsetenv(name.c_str());
}

double ProcessCpuMs() {
  return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

const char* GermanLocaleName() {
  return "de_DE.UTF-8";
}

namespace {

// The lock belongs to the open file: another descriptor of the same file is refused it.
class LockedFile : public Held {
 public:
  explicit LockedFile(int fd) : fd_(fd) {}
  ~LockedFile() override { close(fd_); }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<Held> HoldFile(const std::filesystem::path& file) {
  const int fd = open(file.c_str(), O_RDWR);
  if (fd < 0) return nullptr;
  if (flock(fd, LOCK_EX) != 0) {
    close(fd);
    return nullptr;
  }
  return std::make_unique<LockedFile>(fd);
}

namespace {

// Writing past the limit raises SIGXFSZ, which is ignored meanwhile: the write then fails.
class FileSizeLimit : public Held {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit lowered = old_;
    lowered.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lowered);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
  }
  ~FileSizeLimit() override {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
};

}  // namespace

std::unique_ptr<Held> LimitFileSize(std::uintmax_t bytes) {
  return std::make_unique<FileSizeLimit>(static_cast<rlim_t>(bytes));
}

}  // namespace test
