#include "tests/sim/serial_client.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

namespace simtest {
namespace {

speed_t SpeedOf(int baud) {
  switch (baud) {
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return B0;
  }
}

int64_t Now() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

SerialClient::SerialClient(const std::string& path, int baud) {
  fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd_ >= 0 && !SetBaud(baud)) {
    close(fd_);
    fd_ = -1;
  }
}

SerialClient::~SerialClient() {
  if (fd_ >= 0) close(fd_);
}

bool SerialClient::SetBaud(int baud) {
  termios t{};
  if (tcgetattr(fd_, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag |= CSTOPB | CLOCAL | CREAD;
  cfsetspeed(&t, SpeedOf(baud));
  return tcsetattr(fd_, TCSANOW, &t) == 0;
}

void SerialClient::Write(const std::string& bytes) {
  Write(Bytes(bytes));
}

void SerialClient::Write(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

std::vector<uint8_t> SerialClient::Read(size_t count, int timeoutMs) {
  int64_t deadline = Now() + timeoutMs;
  while (buffer_.size() < count) {
    int64_t left = deadline - Now();
    pollfd p{fd_, POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
    uint8_t buf[512];
    ssize_t n = read(fd_, buf, sizeof buf);
    if (n <= 0) break;
    buffer_.insert(buffer_.end(), buf, buf + n);
  }
  size_t take = std::min(count, buffer_.size());
  std::vector<uint8_t> out(buffer_.begin(), buffer_.begin() + static_cast<long>(take));
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(take));
  return out;
}

std::string SerialClient::ReadLine(int timeoutMs) {
  int64_t deadline = Now() + timeoutMs;
  std::string line;
  while (true) {
    auto b = Read(1, static_cast<int>(std::max<int64_t>(0, deadline - Now())));
    if (b.empty()) return "";
    line += static_cast<char>(b[0]);
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)
      return line.substr(0, line.size() - 2);
  }
}

std::vector<uint8_t> SerialClient::ReadFor(int ms) {
  return Read(SIZE_MAX, ms);
}

}  // namespace simtest
