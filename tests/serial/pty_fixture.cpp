#include "tests/serial/pty_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace ptytest {

Pty::Pty() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    throw std::runtime_error("no pseudo-terminal");
  }
  slavePath_ = ptsname(master_);
}

Pty::~Pty() {
  if (side_ >= 0) close(side_);
  CloseMaster();
}

void Pty::CloseMaster() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

void Pty::Send(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t w = write(master_, bytes.data() + done, bytes.size() - done);
    if (w > 0) {
      done += static_cast<size_t>(w);
    } else {
      pollfd p{master_, POLLOUT, 0};
      if (poll(&p, 1, 1000) <= 0) throw std::runtime_error("pty master does not take bytes");
    }
  }
}

std::string Pty::Receive(size_t count, int timeoutMs) {
  std::string got;
  char buffer[4096];
  while (got.size() < count) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN)) break;
    const ssize_t r = read(master_, buffer, std::min(sizeof buffer, count - got.size()));
    if (r <= 0) break;
    got.append(buffer, static_cast<size_t>(r));
  }
  return got;
}

void Pty::Drain() {
  char buffer[4096];
  while (read(master_, buffer, sizeof buffer) > 0) {
  }
}

termios Pty::LineSettings() const {
  termios t{};
  tcgetattr(master_, &t);
  return t;
}

void Pty::OpenSide() {
  if (side_ < 0) side_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (side_ < 0) throw std::runtime_error("cannot open the pty slave");
}

speed_t Pty::Speed() const {
  const termios t = LineSettings();
  return cfgetospeed(&t);
}

void Pty::FillMasterBuffer() {
  OpenSide();
  std::vector<char> block(4096, 'f');
  // The kernel moves bytes on to the master's side in the background: full means a single
  // byte is still refused after a pause.
  for (;;) {
    while (write(side_, block.data(), block.size()) > 0) {
    }
    while (write(side_, block.data(), 1) > 0) {
    }
    usleep(20000);
    if (write(side_, block.data(), 1) <= 0) return;
  }
}

PortDir::PortDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "ports-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
  dir_ = pattern;
  setenv("UPDATE_PORT_DIR", dir_.c_str(), 1);
}

PortDir::~PortDir() {
  unsetenv("UPDATE_PORT_DIR");
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

Pty& PortDir::Add(int comNumber) {
  auto pty = std::make_unique<Pty>();
  Link("COM" + std::to_string(comNumber), pty->SlavePath());
  Pty& added = *pty;
  ptys_[comNumber] = std::move(pty);
  return added;
}

void PortDir::Link(const std::string& name, const std::string& target) {
  std::filesystem::create_symlink(target, dir_ / name);
}

std::chrono::microseconds ProcessCpuTime() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto micros = [](const timeval& t) {
    return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
  };
  return micros(usage.ru_utime) + micros(usage.ru_stime);
}

}  // namespace ptytest
