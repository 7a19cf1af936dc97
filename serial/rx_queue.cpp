#include "serial/rx_queue.h"

#include <algorithm>

namespace serial {

RxQueue::RxQueue() : ring_(kCapacity) {}

size_t RxQueue::Put(const uint8_t* data, size_t n) {
  size_t stored = 0;
  {
    std::lock_guard lock(mutex_);
    stored = std::min(n, kCapacity - count_);
    for (size_t i = 0; i < stored; ++i) ring_[(head_ + count_ + i) % kCapacity] = data[i];
    count_ += stored;
    if (stored > 0) lastArrival_ = Clock::now();
  }
  if (stored > 0) arrived_.notify_all();
  return stored;
}

size_t RxQueue::Free() const {
  std::lock_guard lock(mutex_);
  return kCapacity - count_;
}

void RxQueue::SetGone() {
  {
    std::lock_guard lock(mutex_);
    gone_ = true;
  }
  arrived_.notify_all();
}

size_t RxQueue::TakeLocked(uint8_t* buffer, size_t n) {
  const size_t taken = std::min(n, count_);
  if (count_ == kCapacity && taken > 0) wasFull_ = true;
  for (size_t i = 0; i < taken; ++i) buffer[i] = ring_[(head_ + i) % kCapacity];
  head_ = (head_ + taken) % kCapacity;
  count_ -= taken;
  return taken;
}

size_t RxQueue::Take(uint8_t* buffer, size_t n, Clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  wasFull_ = false;
  size_t got = TakeLocked(buffer, n);
  while (got < n && !gone_) {
    const Clock::time_point now = Clock::now();
    if (now >= deadline) break;
    // Once a byte has come, the gap since the latest arrival bounds the wait.
    Clock::time_point until = deadline;
    if (got > 0) {
      const Clock::time_point gapEnd = lastArrival_ + kInterval;
      if (now >= gapEnd) break;
      until = std::min(until, gapEnd);
    }
    arrived_.wait_until(lock, until, [&] { return count_ > 0 || gone_; });
    got += TakeLocked(buffer + got, n - got);
  }
  return got;
}

size_t RxQueue::TakeArrived(uint8_t* buffer, size_t n) {
  std::lock_guard lock(mutex_);
  wasFull_ = false;
  return TakeLocked(buffer, n);
}

size_t RxQueue::Count() const {
  std::lock_guard lock(mutex_);
  return count_;
}

RxQueue::Clock::time_point RxQueue::LastArrival() const {
  std::lock_guard lock(mutex_);
  return lastArrival_;
}

bool RxQueue::Gone() const {
  std::lock_guard lock(mutex_);
  return gone_;
}

bool RxQueue::WasFull() const {
  std::lock_guard lock(mutex_);
  return wasFull_;
}

void RxQueue::Clear() {
  std::lock_guard lock(mutex_);
  head_ = 0;
  count_ = 0;
  gone_ = false;
  wasFull_ = false;
}

}  // namespace serial
