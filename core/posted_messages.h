// The messages other threads post to a window system's thread: a queue guarded by its own lock,
// with a wait that wakes as soon as something is posted. Shared by the console's and the test's
// window systems.
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
    }
    posted_.notify_all();
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
  template <class Clock, class Duration>
  bool WaitUntil(const std::chrono::time_point<Clock, Duration>& until) {
    std::unique_lock lock(mutex_);
    return posted_.wait_until(lock, until, [this] { return !queue_.empty(); });
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::pair<uint32_t, uintptr_t>> queue_;
};

}  // namespace core
