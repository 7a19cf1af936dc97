#include "sim/pty_port.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace sim {
namespace {

int BaudOf(speed_t speed) {
  static const struct {
    speed_t code;
    int baud;
  } table[] = {{B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},
               {B150, 150},       {B200, 200},       {B300, 300},       {B600, 600},
               {B1200, 1200},     {B1800, 1800},     {B2400, 2400},     {B4800, 4800},
               {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
               {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
  for (const auto& row : table)
    if (row.code == speed) return row.baud;
  return 0;
}

}  // namespace

std::unique_ptr<PtyPort> PtyPort::Create(std::string& error) {
  std::unique_ptr<PtyPort> port(new PtyPort);
  port->master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (port->master_ < 0 || grantpt(port->master_) != 0 || unlockpt(port->master_) != 0) {
    error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    return nullptr;
  }
  const char* name = ptsname(port->master_);
  port->slavePath_ = name ? name : "";
  port->slave_ = open(port->slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios t{};
  if (port->slave_ < 0 || tcgetattr(port->slave_, &t) != 0) {
    error = "cannot open " + port->slavePath_ + ": " + std::strerror(errno);
    return nullptr;
  }
  // Raw from the start: an echoing slave would hand the instrument its own answers.
  cfmakeraw(&t);
  cfsetspeed(&t, B9600);
  tcsetattr(port->slave_, TCSANOW, &t);
  return port;
}

PtyPort::~PtyPort() {
  Close();
}

bool PtyPort::Publish(const std::string& path, std::string& error) {
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0) {
    struct stat target {};
    if (!S_ISLNK(st.st_mode) || stat(path.c_str(), &target) == 0) {
      error = path + " exists already (another instrument or a real port?)";
      return false;
    }
    unlink(path.c_str());  // a dangling link left by an instrument that was killed
  }
  if (symlink(slavePath_.c_str(), path.c_str()) != 0) {
    error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  link_ = path;
  return true;
}

void PtyPort::Close() {
  if (!link_.empty()) unlink(link_.c_str());
  link_.clear();
  if (slave_ >= 0) close(slave_);
  if (master_ >= 0) close(master_);
  slave_ = master_ = -1;
}

LineSettings PtyPort::HostLine() const {
  termios t{};
  // On a pty master tcgetattr reports the slave's settings: what the host has set.
  if (master_ < 0 || tcgetattr(master_, &t) != 0) return {};
  int bits = (t.c_cflag & CSIZE) == CS5   ? 5
             : (t.c_cflag & CSIZE) == CS6 ? 6
             : (t.c_cflag & CSIZE) == CS7 ? 7
                                          : 8;
  return {BaudOf(cfgetospeed(&t)), Parity::Unknown, bits, (t.c_cflag & CSTOPB) ? 2 : 1};
}

ssize_t PtyPort::Read(void* buffer, size_t size) {
  return master_ < 0 ? -1 : read(master_, buffer, size);
}

ssize_t PtyPort::Write(const void* data, size_t size) {
  return master_ < 0 ? -1 : write(master_, data, size);
}

}  // namespace sim
