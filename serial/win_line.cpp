// The serial layer's operating-system calls on Windows: a COM port opened without sharing and
// with overlapped I/O, DCB and COMMTIMEOUTS, and the parameter file opened without sharing.
// Waiting for received data is an overlapped read of one byte that ends when the first byte
// arrives (WaitCommEvent would do on a real port, but ends at once with an abort where the port
// is a pseudo-terminal behind Wine). Handles travel in the header's int fields: Windows keeps the
// significant bits of a kernel handle within 32 (HandleToLong / LongToHandle), and an invalid
// handle is -1 there as an invalid descriptor is.
#include <windows.h>

#include <algorithm>
#include <mutex>
#include <string>

#include "core/win_text.h"
#include "serial/posix_line.h"

namespace serial::os {
namespace {

// The longest a waiting read lasts before it is started again.
constexpr DWORD kReadSliceMs = 60000;

HANDLE AsHandle(int value) {
  return LongToHandle(value);
}
int AsInt(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? -1 : HandleToLong(handle);
}

// One overlapped operation: its OVERLAPPED and the manual-reset event it completes.
struct Overlapped {
  OVERLAPPED ov{};
  Overlapped() { ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
  ~Overlapped() { CloseHandle(ov.hEvent); }
  Overlapped(const Overlapped&) = delete;
  Overlapped& operator=(const Overlapped&) = delete;
  void Reset(uint64_t offset = 0) {
    HANDLE event = ov.hEvent;
    ov = OVERLAPPED{};
    ov.Offset = static_cast<DWORD>(offset);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    ov.hEvent = event;
    ResetEvent(event);
  }
};

// True inside Wine, whose ntdll has an export of its own for its version.
bool RunsUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Runs one overlapped transfer on a file handle and waits for it to end.
bool TransferAt(HANDLE file, bool write, void* buffer, DWORD n, uint64_t offset, DWORD& done) {
  Overlapped op;
  op.Reset(offset);
  const BOOL ok = write ? WriteFile(file, buffer, n, nullptr, &op.ov)
                        : ReadFile(file, buffer, n, nullptr, &op.ov);
  if (!ok && GetLastError() != ERROR_IO_PENDING) return false;
  return GetOverlappedResult(file, &op.ov, &done, TRUE) != 0;
}

}  // namespace

std::string OsErrorText(int error) {
  return wintext::SystemErrorText(static_cast<DWORD>(error));
}

// ---- parameter file ----

FileHandle::~FileHandle() {
  if (fd_ >= 0) CloseHandle(AsHandle(fd_));
}

size_t FileHandle::ReadAt(void* buffer, size_t n) {
  size_t got = 0;
  while (got < n) {
    DWORD r = 0;
    if (!TransferAt(AsHandle(fd_), false, static_cast<char*>(buffer) + got,
                    static_cast<DWORD>(n - got), got, r) ||
        r == 0) {
      break;
    }
    got += r;
  }
  return got;
}

bool FileHandle::WriteAt(const void* data, size_t n) {
  size_t done = 0;
  while (done < n) {
    DWORD w = 0;
    void* from = const_cast<char*>(static_cast<const char*>(data) + done);
    if (!TransferAt(AsHandle(fd_), true, from, static_cast<DWORD>(n - done), done, w) || w == 0) {
      return false;
    }
    done += w;
  }
  return true;
}

FileHandle OpenRecordFile(const std::string& path, bool create) {
  // No sharing: a second program that holds the file makes the open fail, as the lock does.
  const HANDLE file =
      CreateFileW(wintext::Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                  create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FileHandle();
  return FileHandle(AsInt(file));
}

// ---- wake object ----

// An auto-reset event: one Signal wakes one Wait, as one write to the counter does.
WakeObject::WakeObject() : fd_(AsInt(CreateEventW(nullptr, FALSE, FALSE, nullptr))) {}

WakeObject::~WakeObject() {
  if (fd_ >= 0) CloseHandle(AsHandle(fd_));
}

void WakeObject::Signal() {
  SetEvent(AsHandle(fd_));
}

void WakeObject::Drain() {
  ResetEvent(AsHandle(fd_));
}

// ---- the line ----

struct SystemLine::Saved {
  DCB original{};
  bool haveDcb = false;
  COMMTIMEOUTS originalTimeouts{};
  bool haveTimeouts = false;

  // The receive side (the reader thread): a one-byte read that may outlive one Wait, and the
  // byte it brought until ReadSome hands it out first.
  Overlapped read;
  bool readPending = false;
  uint8_t early = 0;
  bool haveEarly = false;
  Overlapped take;

  // Collects the one-byte read once it has ended (waiting for it when wait); false while it
  // runs. A read that failed counts as a hang-up.
  bool CollectEarlyByte(HANDLE port, bool wait, bool& hangup) {
    if (!readPending) return true;
    DWORD got = 0;
    if (!GetOverlappedResult(port, &read.ov, &got, wait ? TRUE : FALSE)) {
      if (GetLastError() == ERROR_IO_INCOMPLETE) return false;
      readPending = false;
      hangup = true;
      return true;
    }
    readPending = false;
    haveEarly = got == 1;
    return true;
  }

  // The error flags ClearCommError hands out once, summed up as the driver's counters.
  std::mutex errorsMutex;
  ErrorCounts errors;
};

SystemLine::SystemLine(int fd) : fd_(fd), pty_(false), saved_(std::make_unique<Saved>()) {}

SystemLine::~SystemLine() {
  const HANDLE port = AsHandle(fd_);
  // An overlapped operation must end before its OVERLAPPED goes away (the pending wait was
  // started by the reader thread: cancel it from here too).
  CancelIoEx(port, nullptr);
  if (saved_->readPending) {
    DWORD ignored;
    GetOverlappedResult(port, &saved_->read.ov, &ignored, TRUE);
  }
  CloseHandle(port);
}

void SystemLine::SaveOriginal() {
  saved_->original.DCBlength = sizeof(DCB);
  saved_->haveDcb = GetCommState(AsHandle(fd_), &saved_->original) != 0;
  saved_->haveTimeouts = GetCommTimeouts(AsHandle(fd_), &saved_->originalTimeouts) != 0;
}

void SystemLine::RestoreOriginal() {
  if (saved_->haveDcb) SetCommState(AsHandle(fd_), &saved_->original);
  if (saved_->haveTimeouts) SetCommTimeouts(AsHandle(fd_), &saved_->originalTimeouts);
}

LineStatus SystemLine::Apply(const LineConfig& config) {
  const HANDLE port = AsHandle(fd_);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port, &dcb)) return {static_cast<int>(GetLastError()), "GetCommState"};
  dcb.BaudRate = config.BaudRate;
  dcb.ByteSize = config.ByteSize == 7 ? 7 : 8;
  // The parity and stop-bit orders of the parameter record are those of the DCB.
  dcb.Parity = config.Parity <= SPACEPARITY ? config.Parity : NOPARITY;
  dcb.StopBits = config.StopBits <= TWOSTOPBITS ? config.StopBits : ONESTOPBIT;
  // Transparent bytes: no parity checking of received bytes, no error characters; the modem
  // status lines (DSR) are ignored.
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;  // NUL bytes are dropped by the port component itself
  dcb.fAbortOnError = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutxCtsFlow = config.OutxCtsFlow || config.RtsHandshake;
  dcb.fDtrControl = config.DtrOn ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
  if (config.RtsHandshake) {
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
  } else {
    dcb.fRtsControl = config.RtsOn ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
  }
  dcb.fOutX = config.OutX;
  dcb.fInX = config.InX;
  dcb.fTXContinueOnXoff = TRUE;
  dcb.XonChar = static_cast<char>(config.XonChar);
  dcb.XoffChar = static_cast<char>(config.XoffChar);
  if (!SetCommState(port, &dcb)) {
    const DWORD error = GetLastError();
    // Wine refuses parity on a port that is a pseudo-terminal (which cannot hold it) with
    // ERROR_INVALID_PARAMETER, after speed, size and stop bits took effect: the rest is applied
    // without it, as the POSIX line does on a pty. A real port's refusal stays an error.
    DCB withoutParity = dcb;
    withoutParity.Parity = NOPARITY;
    if (error != ERROR_INVALID_PARAMETER || dcb.Parity == NOPARITY || !RunsUnderWine() ||
        !SetCommState(port, &withoutParity)) {
      return {static_cast<int>(error), "SetCommState"};
    }
  }
  // A read returns what has arrived at once; with nothing there it waits for the first byte
  // (at most kReadSliceMs). Writes end by the caller's deadline.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = kReadSliceMs;
  if (!SetCommTimeouts(port, &timeouts)) {
    return {static_cast<int>(GetLastError()), "SetCommTimeouts"};
  }
  return {};
}

namespace {

// Bytes waiting in the driver's receive queue; false when the device is gone. The error flags
// it clears are added to counts.
bool QueuedBytes(HANDLE port, std::mutex& mutex, ErrorCounts& counts, DWORD& queued) {
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(port, &errors, &status)) return false;
  queued = status.cbInQue;
  if (errors != 0) {
    std::lock_guard lock(mutex);
    if (errors & CE_FRAME) ++counts.frame;
    if (errors & (CE_OVERRUN | CE_RXOVER)) ++counts.overrun;
    if (errors & CE_RXPARITY) ++counts.parity;
    if (errors & CE_BREAK) ++counts.brk;
  }
  return true;
}

}  // namespace

WaitResult SystemLine::Wait(bool forData, WakeObject& wake, int timeoutMs) {
  const HANDLE port = AsHandle(fd_);
  const DWORD timeout = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
  if (!forData) {
    return WaitForSingleObject(AsHandle(wake.Handle()), timeout) == WAIT_OBJECT_0
               ? WaitResult::Woken
               : WaitResult::Timeout;
  }
  Saved& s = *saved_;
  bool hangup = false;
  s.CollectEarlyByte(port, false, hangup);
  if (hangup) return WaitResult::Hangup;
  if (s.haveEarly) return WaitResult::Readable;
  if (!s.readPending) {
    DWORD queued = 0;
    if (!QueuedBytes(port, s.errorsMutex, s.errors, queued)) return WaitResult::Hangup;
    if (queued > 0) return WaitResult::Readable;
    s.read.Reset();
    if (!ReadFile(port, &s.early, 1, nullptr, &s.read.ov) && GetLastError() != ERROR_IO_PENDING) {
      return WaitResult::Hangup;
    }
    s.readPending = true;  // also when it ended at once: its event is set
  }
  const HANDLE objects[2] = {AsHandle(wake.Handle()), s.read.ov.hEvent};
  const DWORD r = WaitForMultipleObjects(2, objects, FALSE, timeout);
  if (r == WAIT_OBJECT_0) return WaitResult::Woken;
  if (r != WAIT_OBJECT_0 + 1) return WaitResult::Timeout;
  s.CollectEarlyByte(port, true, hangup);
  if (hangup) return WaitResult::Hangup;
  return s.haveEarly ? WaitResult::Readable : WaitResult::Timeout;
}

ReadResult SystemLine::ReadSome(void* buffer, size_t n) {
  ReadResult result;
  const HANDLE port = AsHandle(fd_);
  Saved& s = *saved_;
  if (n == 0) return result;
  // The byte of the waiting read came first; while that read still runs, nothing is taken
  // past it.
  if (!s.CollectEarlyByte(port, false, result.hangup) || result.hangup) return result;
  auto* bytes = static_cast<uint8_t*>(buffer);
  if (s.haveEarly) {
    bytes[result.count++] = s.early;
    s.haveEarly = false;
  }
  DWORD queued = 0;
  if (!QueuedBytes(port, s.errorsMutex, s.errors, queued)) {
    result.hangup = result.count == 0;
    return result;
  }
  const DWORD want = static_cast<DWORD>(std::min<size_t>(n - result.count, queued));
  if (want == 0) return result;
  // What is queued is there: this read returns at once.
  s.take.Reset();
  DWORD got = 0;
  if ((!ReadFile(port, bytes + result.count, want, nullptr, &s.take.ov) &&
       GetLastError() != ERROR_IO_PENDING) ||
      !GetOverlappedResult(port, &s.take.ov, &got, TRUE)) {
    result.hangup = result.count == 0;
    return result;
  }
  result.count += got;
  return result;
}

WriteResult SystemLine::WriteUntil(const uint8_t* data, size_t n, Clock::time_point deadline) {
  WriteResult result;
  const HANDLE port = AsHandle(fd_);
  Overlapped op;
  while (result.written < n) {
    op.Reset();
    DWORD wrote = 0;
    const DWORD chunk = static_cast<DWORD>(n - result.written);
    if (!WriteFile(port, data + result.written, chunk, nullptr, &op.ov) &&
        GetLastError() != ERROR_IO_PENDING) {
      result.error = static_cast<int>(GetLastError());
      break;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const DWORD wait = left.count() > 0 ? static_cast<DWORD>(left.count()) : 0;
    const bool timedOut = WaitForSingleObject(op.ov.hEvent, wait) == WAIT_TIMEOUT;
    if (timedOut) CancelIoEx(port, &op.ov);
    // After a cancel the transfer reports what went out before it.
    if (!GetOverlappedResult(port, &op.ov, &wrote, TRUE) &&
        GetLastError() != ERROR_OPERATION_ABORTED) {
      result.error = static_cast<int>(GetLastError());
      result.written += wrote;
      break;
    }
    result.written += wrote;
    if (timedOut) break;
  }
  return result;
}

bool SystemLine::ReadErrorCounts(ErrorCounts& counts) {
  DWORD queued = 0;
  if (!QueuedBytes(AsHandle(fd_), saved_->errorsMutex, saved_->errors, queued)) return false;
  std::lock_guard lock(saved_->errorsMutex);
  counts = saved_->errors;
  return true;
}

void SystemLine::EndBreak() {
  ClearCommBreak(AsHandle(fd_));
}

// ---- exclusive open ----

// Waiting for received data keeps an overlapped read of one byte that belongs to the receive
// thread; the window thread does not take it over, so the receive thread always announces.
bool WindowThreadMayWait() {
  return false;
}

OpenResult OpenExclusive(const PortDevice& device) {
  OpenResult result;
  // A COM port opens without sharing: a port another program holds fails with access denied.
  const HANDLE port = CreateFileW(wintext::Wide(device.path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    result.error = static_cast<int>(error);
    result.outcome = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION
                         ? OpenOutcome::Busy
                         : OpenOutcome::Absent;
    return result;
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port, &dcb)) {  // not a serial device
    result.error = static_cast<int>(GetLastError());
    CloseHandle(port);
    return result;
  }
  result.outcome = OpenOutcome::Opened;
  result.line = std::make_unique<SystemLine>(AsInt(port));
  return result;
}

}  // namespace serial::os
