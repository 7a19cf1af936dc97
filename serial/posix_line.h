// Every operating-system call of the serial layer: exclusive open of a device, termios, modem
// lines, error counters, poll, non-blocking read and write, and the parameter file. Another
// platform is another implementation of this header.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/line_config.h"
#include "serial/port_names.h"

namespace serial::os {

using Clock = std::chrono::steady_clock;

// The system's text for an error code of this layer (LineStatus, WriteResult, OpenResult).
std::string OsErrorText(int error);

// The parameter file, opened without sharing (an exclusive lock that fails when held elsewhere).
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(int fd) : fd_(fd) {}
  FileHandle(FileHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileHandle& operator=(FileHandle&&) = delete;
  ~FileHandle();

  bool Valid() const { return fd_ >= 0; }
  // Reads up to n bytes from offset 0; returns how many there were.
  size_t ReadAt(void* buffer, size_t n);
  // Writes n bytes at offset 0, keeping whatever the file holds after them.
  bool WriteAt(const void* data, size_t n);

 private:
  int fd_ = -1;
};

FileHandle OpenRecordFile(const std::string& path, bool create);

// Wakes a thread that waits in SystemLine::Wait (Close, space freed in the receive queue).
class WakeObject {
 public:
  WakeObject();
  ~WakeObject();
  WakeObject(const WakeObject&) = delete;
  WakeObject& operator=(const WakeObject&) = delete;
  void Signal();
  void Drain();
  int Handle() const { return fd_; }

 private:
  int fd_ = -1;
};

enum class WaitResult { Readable, Hangup, Woken, Timeout };

struct ReadResult {
  size_t count = 0;
  bool hangup = false;  // the device went away (end of file, I/O error)
};

struct WriteResult {
  size_t written = 0;
  int error = 0;  // errno of a failure; 0 for complete or timed out
};

struct LineStatus {
  int error = 0;          // errno of the refusal; 0 when applied
  const char* step = "";  // what was refused
  bool Ok() const { return error == 0; }
};

struct ErrorCounts {
  uint32_t frame = 0, overrun = 0, parity = 0, brk = 0;
};

class SystemLine {
 public:
  explicit SystemLine(int fd);
  ~SystemLine();  // releases the lock and closes
  SystemLine(const SystemLine&) = delete;
  SystemLine& operator=(const SystemLine&) = delete;

  int Handle() const { return fd_; }
  // A pseudo-terminal keeps speed and stop bits but not parity or character size, and has no
  // modem lines: those refusals are harmless there.
  bool IsPseudoTerminal() const { return pty_; }

  // Keeps the configuration found at opening; Restore puts it back (best effort: the device
  // may be gone by then).
  void SaveOriginal();
  void RestoreOriginal();
  LineStatus Apply(const LineConfig& config);

  // Waits for received data (when forData), a hang-up, the wake object or the time-out.
  WaitResult Wait(bool forData, WakeObject& wake, int timeoutMs);
  ReadResult ReadSome(void* buffer, size_t n);
  // Writes until every byte is out, the deadline passes or the device fails.
  WriteResult WriteUntil(const uint8_t* data, size_t n, Clock::time_point deadline);
  // The driver's error counters; false when it keeps none.
  bool ReadErrorCounts(ErrorCounts& counts);
  void EndBreak();

 private:
  LineStatus ApplyModemLines(const LineConfig& config);

  int fd_;
  bool pty_ = false;
  struct Saved;
  std::unique_ptr<Saved> saved_;
};

// Whether the window thread may wait on a line itself (direct receive). Where it may not, the
// receive thread always takes the arrivals.
bool WindowThreadMayWait();

// Denied: the device exists but this user may not open it (file permissions).
enum class OpenOutcome { Opened, Busy, Denied, Absent };

struct OpenResult {
  OpenOutcome outcome = OpenOutcome::Absent;
  std::unique_ptr<SystemLine> line;
  int error = 0;
};

// Opens a device exclusively: flock (a lock held elsewhere means present but busy) and TIOCEXCL.
OpenResult OpenExclusive(const PortDevice& device);

}  // namespace serial::os
