#include "serial/posix_line.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace serial::os {
namespace {

// Keeps descriptors 0-2 free of ports, so a valid port handle is never 0 ("null").
int AboveStdio(int fd) {
  if (fd > 2) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  close(fd);
  return moved;
}

bool IsPtySlave(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  const unsigned int devMajor = major(st.st_rdev);
  return (devMajor >= 136 && devMajor <= 143) || devMajor == 3;
}

speed_t SpeedOf(uint32_t baud) {
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
      return B4800;
  }
}

void ToTermios(const LineConfig& config, termios& t) {
  // Transparent bytes: no line editing, no translation, no parity checking of received bytes.
  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY |
                 INPCK | IGNPAR);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  // CLOCAL: the modem status lines (DSR, carrier) are ignored.
  t.c_cflag |= CREAD | CLOCAL | (config.ByteSize == 7 ? CS7 : CS8);
  switch (config.Parity) {
    case 1:
      t.c_cflag |= PARENB | PARODD;
      break;
    case 2:
      t.c_cflag |= PARENB;
      break;
    case 3:
      t.c_cflag |= PARENB | PARODD | CMSPAR;
      break;
    case 4:
      t.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  // termios has no 1.5 stop bits; two is the nearest a receiver accepts.
  if (config.StopBits != 0) t.c_cflag |= CSTOPB;
  if (config.OutxCtsFlow || config.RtsHandshake) t.c_cflag |= CRTSCTS;
  if (config.OutX) t.c_iflag |= IXON;
  if (config.InX) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = config.XonChar;
  t.c_cc[VSTOP] = config.XoffChar;
  // One byte satisfies a read, so read() returns 0 only at end of file (a hang-up).
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, SpeedOf(config.BaudRate));
  cfsetospeed(&t, SpeedOf(config.BaudRate));
}

int ModemBits(int fd, unsigned long request, int bits) {
  return ioctl(fd, request, &bits) == 0 ? 0 : errno;
}

}  // namespace

std::string OsErrorText(int error) {
  return std::strerror(error);
}

// ---- parameter file ----

FileHandle::~FileHandle() {
  if (fd_ >= 0) close(fd_);
}

size_t FileHandle::ReadAt(void* buffer, size_t n) {
  size_t got = 0;
  while (got < n) {
    const ssize_t r = pread(fd_, static_cast<char*>(buffer) + got, n - got, got);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    got += static_cast<size_t>(r);
  }
  return got;
}

bool FileHandle::WriteAt(const void* data, size_t n) {
  size_t done = 0;
  while (done < n) {
    const ssize_t w = pwrite(fd_, static_cast<const char*>(data) + done, n - done, done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    done += static_cast<size_t>(w);
  }
  return true;
}

FileHandle OpenRecordFile(const std::string& path, bool create) {
  const int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0);
  const int fd = open(path.c_str(), flags, 0644);
  if (fd < 0) return FileHandle();
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return FileHandle();
  }
  return FileHandle(fd);
}

// ---- wake object ----

WakeObject::WakeObject() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeObject::~WakeObject() {
  if (fd_ >= 0) close(fd_);
}

void WakeObject::Signal() {
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t ignored = write(fd_, &one, sizeof one);
}

void WakeObject::Drain() {
  uint64_t value;
  [[maybe_unused]] ssize_t ignored = read(fd_, &value, sizeof value);
}

// ---- the line ----

struct SystemLine::Saved {
  termios original{};
  bool haveTermios = false;
  int modemBits = 0;
  bool haveModemBits = false;
};

SystemLine::SystemLine(int fd) : fd_(fd), pty_(IsPtySlave(fd)), saved_(std::make_unique<Saved>()) {}

SystemLine::~SystemLine() {
  ioctl(fd_, TIOCNXCL);
  flock(fd_, LOCK_UN);
  close(fd_);
}

void SystemLine::SaveOriginal() {
  saved_->haveTermios = tcgetattr(fd_, &saved_->original) == 0;
  saved_->haveModemBits = ioctl(fd_, TIOCMGET, &saved_->modemBits) == 0;
}

void SystemLine::RestoreOriginal() {
  if (saved_->haveTermios) tcsetattr(fd_, TCSANOW, &saved_->original);
  if (saved_->haveModemBits) {
    const int lines = TIOCM_DTR | TIOCM_RTS;
    ModemBits(fd_, TIOCMBIS, saved_->modemBits & lines);
    ModemBits(fd_, TIOCMBIC, ~saved_->modemBits & lines);
  }
}

LineStatus SystemLine::Apply(const LineConfig& config) {
  termios t{};
  if (tcgetattr(fd_, &t) != 0) return {errno, "tcgetattr"};
  ToTermios(config, t);
  if (tcsetattr(fd_, TCSANOW, &t) != 0) {
    const int error = errno;
    // glibc reports EINVAL when a pty drops the parity bit; the call itself took effect.
    termios back{};
    const bool held = pty_ && error == EINVAL && tcgetattr(fd_, &back) == 0 &&
                      cfgetospeed(&back) == cfgetospeed(&t) &&
                      (back.c_cflag & CSTOPB) == (t.c_cflag & CSTOPB);
    if (!held) return {error, "tcsetattr"};
  }
  return ApplyModemLines(config);
}

LineStatus SystemLine::ApplyModemLines(const LineConfig& config) {
  int error = ModemBits(fd_, config.DtrOn ? TIOCMBIS : TIOCMBIC, TIOCM_DTR);
  if (error == 0 && !config.RtsHandshake) {
    error = ModemBits(fd_, config.RtsOn ? TIOCMBIS : TIOCMBIC, TIOCM_RTS);
  }
  // A pty has no modem lines.
  if (error == 0 || (pty_ && (error == ENOTTY || error == EINVAL))) return {};
  return {error, "modem lines"};
}

WaitResult SystemLine::Wait(bool forData, WakeObject& wake, int timeoutMs) {
  pollfd fds[2] = {{wake.Handle(), POLLIN, 0}, {fd_, POLLIN, 0}};
  const int r = poll(fds, forData ? 2 : 1, timeoutMs);
  if (r <= 0) return WaitResult::Timeout;  // EINTR counts as a pass without an event
  if (fds[0].revents & POLLIN) {
    wake.Drain();
    return WaitResult::Woken;
  }
  if (forData && (fds[1].revents & POLLIN)) return WaitResult::Readable;
  if (forData && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))) return WaitResult::Hangup;
  return WaitResult::Timeout;
}

ReadResult SystemLine::ReadSome(void* buffer, size_t n) {
  ReadResult result;
  while (result.count < n) {
    const size_t asked = n - result.count;
    const ssize_t r = read(fd_, static_cast<uint8_t*>(buffer) + result.count, asked);
    if (r > 0) {
      result.count += static_cast<size_t>(r);
      // A terminal hands over everything it holds in one read: a short read has emptied it, and
      // asking again would cost a second call per arrival. A hang-up behind the data shows in
      // the next wait.
      if (static_cast<size_t>(r) < asked) break;
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && errno == EAGAIN) break;
    result.hangup = true;  // end of file or an I/O error: the device is gone
    break;
  }
  return result;
}

WriteResult SystemLine::WriteUntil(const uint8_t* data, size_t n, Clock::time_point deadline) {
  WriteResult result;
  while (result.written < n) {
    const ssize_t w = write(fd_, data + result.written, n - result.written);
    if (w > 0) {
      result.written += static_cast<size_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && errno != EAGAIN) {
      result.error = errno;
      break;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    pollfd fds{fd_, POLLOUT, 0};
    if (poll(&fds, 1, static_cast<int>(left.count())) > 0 && (fds.revents & (POLLHUP | POLLERR))) {
      result.error = EIO;
      break;
    }
  }
  return result;
}

bool SystemLine::ReadErrorCounts(ErrorCounts& counts) {
  serial_icounter_struct icount{};
  if (ioctl(fd_, TIOCGICOUNT, &icount) != 0) return false;
  counts.frame = static_cast<uint32_t>(icount.frame);
  counts.overrun = static_cast<uint32_t>(icount.overrun + icount.buf_overrun);
  counts.parity = static_cast<uint32_t>(icount.parity);
  counts.brk = static_cast<uint32_t>(icount.brk);
  return true;
}

void SystemLine::EndBreak() {
  ioctl(fd_, TIOCCBRK);
}

// ---- exclusive open ----

// poll on the descriptor, as the receive thread waits.
bool WindowThreadMayWait() {
  return true;
}

OpenResult OpenExclusive(const PortDevice& device) {
  OpenResult result;
  int fd = open(device.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    result.error = errno;
    if (errno == EACCES || errno == EPERM) {
      result.outcome = OpenOutcome::Denied;
    } else {
      result.outcome = errno == EBUSY ? OpenOutcome::Busy : OpenOutcome::Absent;
    }
    return result;
  }
  fd = AboveStdio(fd);
  if (fd < 0) {
    result.error = errno;
    return result;
  }
  termios t{};
  if (tcgetattr(fd, &t) != 0) {  // not a terminal device
    result.error = errno;
    close(fd);
    return result;
  }
  if (device.needsUart) {
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN) {
      result.error = ENODEV;
      close(fd);
      return result;
    }
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    result.error = errno;
    result.outcome = errno == EWOULDBLOCK ? OpenOutcome::Busy : OpenOutcome::Absent;
    close(fd);
    return result;
  }
  ioctl(fd, TIOCEXCL);
  result.outcome = OpenOutcome::Opened;
  result.line = std::make_unique<SystemLine>(fd);
  return result;
}

}  // namespace serial::os
