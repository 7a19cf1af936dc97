// The window system of the console front-end, on the standard library alone: the thread that
// runs the session is the window thread, posted messages wait in a queue guarded by a mutex and
// wake it through a condition variable, and the window timers sit in a heap ordered by their
// next expiry. A wait sleeps until the earliest of its deadline, the next timer and a post, and
// the input of an attached wait source.
//
// Timers and message processing belong to the window thread; PostMessage and TickCount may be
// called from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <queue>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/posted_messages.h"
#include "core/window_system.h"

namespace core {

class ThreadWindowSystem : public WindowSystem {
 public:
  // The tick counter continues the steady clock's milliseconds.
  ThreadWindowSystem();
  // The tick counter starts at firstTick (to try the wrap of the counter).
  explicit ThreadWindowSystem(uint32_t firstTick);
  ~ThreadWindowSystem() override;

  void ProcessMessages() override;
  void WaitMessages(uint32_t deadline) override;
  void SleepUntil(uint32_t deadline) override;
  uint32_t TickCount() const override;
  std::unique_ptr<WindowTimer> CreateTimer() override;
  void PostMessage(uint32_t message, uintptr_t wParam) override;
  void SetMessageHandler(MessageHandler handler) override;
  bool AttachSource(WaitSource* source) override;
  void DetachSource(WaitSource* source) override;

 private:
  class Timer;
  friend class Timer;
  using Clock = std::chrono::steady_clock;

  // One scheduled expiry. An entry is stale once its timer was stopped, re-armed or destroyed:
  // the timer then holds another sequence number (or none), and the entry is dropped when it
  // comes up.
  struct Expiry {
    int64_t at;    // milliseconds since origin_
    uint64_t seq;  // the arming it belongs to; ties expire in the order armed
    uint64_t timer;
    bool operator>(const Expiry& other) const {
      return at != other.at ? at > other.at : seq > other.seq;
    }
  };

  // Milliseconds since origin_ (never wraps).
  int64_t Elapsed() const;
  // A tick of the 32-bit counter as milliseconds since origin_; a tick within 2^31 ms in the
  // past or future of now, as every deadline is.
  int64_t ToElapsed(uint32_t tick) const;
  bool DeliverPosted();
  bool DeliverDueTimers();
  // The next live expiry; false when no timer runs. Drops stale entries on the way.
  bool NextExpiry(int64_t& at);
  // Schedules the timer's next expiry at `at` and returns the sequence number of that arming.
  uint64_t Schedule(uint64_t timer, int64_t at);

  const Clock::time_point origin_;
  const uint32_t firstTick_;

  // Window thread only.
  std::priority_queue<Expiry, std::vector<Expiry>, std::greater<Expiry>> expiries_;
  std::unordered_map<uint64_t, Timer*> timers_;
  uint64_t nextTimerId_ = 1;
  uint64_t nextSeq_ = 1;
  MessageHandler handler_;

  // Any thread.
  PostedMessages posted_;
};

}  // namespace core
