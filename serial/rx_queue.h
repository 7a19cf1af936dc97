// The receive queue of an open port: the reader thread drains the device into it, Read takes
// bytes out with the port's time-out rules, ReadReceived takes what has arrived. Draining keeps the
// reader from waking again and again on bytes nobody has read yet.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace serial {

class RxQueue {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr size_t kCapacity = 32768;
  // A read ends when this much time passes between two bytes once the first has arrived.
  static constexpr std::chrono::milliseconds kInterval{20};

  RxQueue();

  // Reader side. Returns how many bytes were stored (those beyond the free space are not
  // taken from the device; the reader leaves them there until Read makes room).
  size_t Put(const uint8_t* data, size_t n);
  size_t Free() const;
  // The device went away: reads return what is queued without waiting.
  void SetGone();

  // Takes up to n bytes: ends when n have come, when kInterval passes without a new byte
  // once one has come, at the deadline, or when the device is gone.
  size_t Take(uint8_t* buffer, size_t n, Clock::time_point deadline);
  // Takes up to n of the bytes that have arrived, without waiting for more.
  size_t TakeArrived(uint8_t* buffer, size_t n);
  size_t Count() const;
  // When the latest bytes were stored; whether the device is gone.
  Clock::time_point LastArrival() const;
  bool Gone() const;
  // True when the last Take took from a full queue (the reader may be waiting for room).
  bool WasFull() const;
  void Clear();

 private:
  size_t TakeLocked(uint8_t* buffer, size_t n);

  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<uint8_t> ring_;
  size_t head_ = 0;  // next byte to take
  size_t count_ = 0;
  Clock::time_point lastArrival_{};
  bool gone_ = false;
  bool wasFull_ = false;
};

}  // namespace serial
