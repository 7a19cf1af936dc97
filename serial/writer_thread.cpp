#include "serial/writer_thread.h"

#include <cstring>

namespace serial {

TV24Write_Thread::TV24Write_Thread(os::SystemLine& line, int comNumber, int32_t txTimeOutMs)
    : line_(line), comNumber_(comNumber), txTimeOutMs_(txTimeOutMs) {
  thread_ = std::thread([this] { Execute(); });
}

TV24Write_Thread::~TV24Write_Thread() {
  Stop();
}

void TV24Write_Thread::Stop() {
  {
    std::lock_guard lock(mutex_);
    terminated_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool TV24Write_Thread::Idle() const {
  std::lock_guard lock(mutex_);
  return idle_;
}

int32_t TV24Write_Thread::Queue(const uint8_t* frame, uint32_t n, bool async) {
  if (!Idle()) return -1;
  if (txError_) return -100;
  if (n > kTxBufferSize) return -2;
  if (n > 0) std::memcpy(TxBuffer_.data(), frame, n);
  TxCount_ = n;
  TxAsync_ = async;
  if (!async) return SyncWrite();
  if (n == 0) return 0;
  {
    std::lock_guard lock(mutex_);
    idle_ = false;
  }
  wake_.notify_all();
  return static_cast<int32_t>(n);
}

size_t TV24Write_Thread::WriteOut() {
  // A write ends when every byte is out or after (byte count + TXTimeOut) ms.
  const auto deadline =
      os::Clock::now() + std::chrono::milliseconds(int64_t{TxCount_} + int64_t{txTimeOutMs_});
  const os::WriteResult result = line_.WriteUntil(TxBuffer_.data(), TxCount_, deadline);
  if (result.written < TxCount_) txError_ = true;
  return result.written;
}

int32_t TV24Write_Thread::SyncWrite() {
  if (TxCount_ == 0) return 0;  // nothing would ever complete it
  const size_t written = WriteOut();
  const int32_t result = written < TxCount_ ? -100 : static_cast<int32_t>(written);
  txWritten_ = result;
  TxCount_ = 0;
  return result;
}

void TV24Write_Thread::Execute() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return !idle_ || terminated_; });
    if (!idle_) {
      lock.unlock();
      txWritten_ = static_cast<int32_t>(WriteOut());
      TxCount_ = 0;
      lock.lock();
      idle_ = true;
    }
    if (terminated_) return;
  }
}

}  // namespace serial
