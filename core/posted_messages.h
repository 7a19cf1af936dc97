// The messages other threads post to a window system's thread: a queue guarded by its own lock,
// with a wait that wakes as soon as something is posted. Shared by the console's and the test's
// window systems. While a wait source is attached, the wait is the source's: it ends when input
// comes, and a post from another thread interrupts it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>

#include "core/window_system.h"

namespace core {

class PostedMessages {
 public:
  // Thread-safe; wakes a waiting thread.
  void Post(uint32_t message, uintptr_t wParam) {
    {
      std::lock_guard lock(mutex_);
      queue_.emplace_back(message, wParam);
      // Under the lock: the window thread detaches the source only under it, so the source
      // lives while it is interrupted.
      if (sourceWaiting_) source_->Interrupt();
    }
    posted_.notify_all();
  }

  // Window thread; null detaches.
  void SetSource(WaitSource* source) {
    std::lock_guard lock(mutex_);
    source_ = source;
  }
  WaitSource* Source() const {
    std::lock_guard lock(mutex_);
    return source_;
  }

  // Hands the messages pending on entry to the handler, in order (a handler that posts again
  // does not keep the call going); true when there were any.
  bool Deliver(const WindowSystem::MessageHandler& handler) {
    size_t count;
    {
      std::lock_guard lock(mutex_);
      count = queue_.size();
    }
    for (size_t i = 0; i < count; ++i) {
      std::pair<uint32_t, uintptr_t> message;
      {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) break;
        message = queue_.front();
        queue_.pop_front();
      }
      if (handler) handler(message.first, message.second);
    }
    return count > 0;
  }

  // Waits until something is posted or the time has come; true when something is pending.
  // With a source: until its input comes too, which is served before the call returns; true
  // then as well.
  bool WaitUntil(WaitSource::Clock::time_point until) {
    std::unique_lock lock(mutex_);
    if (source_ == nullptr) {
      return posted_.wait_until(lock, until, [this] { return !queue_.empty(); });
    }
    if (!queue_.empty()) return true;
    // A post from now on sees sourceWaiting_ and interrupts the wait (or the coming one).
    WaitSource* source = source_;
    sourceWaiting_ = true;
    lock.unlock();
    const bool input = source->Wait(until);
    lock.lock();
    sourceWaiting_ = false;
    const bool pending = !queue_.empty();
    lock.unlock();
    if (input) source->Serve();
    return pending || input;
  }

  // Serves the source's input that has come, without waiting; true when there was some.
  bool ServeSource() {
    WaitSource* source = Source();
    if (source == nullptr || !source->Wait(WaitSource::Clock::now())) return false;
    source->Serve();
    return true;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable posted_;
  WaitSource* source_ = nullptr;
  bool sourceWaiting_ = false;
  std::deque<std::pair<uint32_t, uintptr_t>> queue_;
};

}  // namespace core
