// The transmit thread of an open port. Hand-over without a lock on the buffer: the window thread
// fills TxBuffer only while the writer is idle and wakes it afterwards; the writer reads it only
// after being woken and becomes idle again when the bytes are out. Idle is a flag under a
// condition variable: the idle test, the wake-up and the wake for termination.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "serial/posix_line.h"

namespace serial {

class TV24Write_Thread {
 public:
  static constexpr size_t kTxBufferSize = 32768;

  // txTimeOutMs: the constant part of the write time-out (the record's TXTimeOut).
  TV24Write_Thread(os::SystemLine& line, int comNumber, int32_t txTimeOutMs);
  ~TV24Write_Thread();
  TV24Write_Thread(const TV24Write_Thread&) = delete;
  TV24Write_Thread& operator=(const TV24Write_Thread&) = delete;

  // -1 while an asynchronous write is going out, -100 while a transmit error is pending;
  // otherwise n (asynchronous, at once) or the result of the synchronous write.
  int32_t Queue(const uint8_t* frame, uint32_t n, bool async);
  bool Idle() const;
  bool TxError() const { return txError_.load(); }
  void ClearTxError() { txError_ = false; }
  int32_t TxWritten() const { return txWritten_.load(); }
  int ComNumber() const { return comNumber_; }
  // Wakes the thread for termination; a write it holds is finished first.
  void Stop();

 private:
  void Execute();
  // Writes TxCount bytes with the time-out; a short write sets TxError.
  size_t WriteOut();
  int32_t SyncWrite();

  os::SystemLine& line_;
  const int comNumber_;
  const int32_t txTimeOutMs_;

  std::array<uint8_t, kTxBufferSize> TxBuffer_{};
  uint32_t TxCount_ = 0;
  bool TxAsync_ = false;
  std::atomic<int32_t> txWritten_{0};
  std::atomic<bool> txError_{false};

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  // Idle from the start, so a Write right after Open is accepted.
  bool idle_ = true;
  bool terminated_ = false;
  std::thread thread_;
};

}  // namespace serial
