// The pool of window timers that protocol steps borrow for their time-outs. A borrower gets a
// 1-based id and recognises the expiry as an EVK_TIMER event whose code is that id.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/event_pump.h"
#include "core/window_system.h"

namespace core {

class TimerPool {
 public:
  static constexpr int kMaxTimers = 20;

  TimerPool(WindowSystem& windows, EventQueue& queue, EventPump& pump)
      : windows_(windows), queue_(queue), pump_(pump) {}

  // Hands the pool its timers (tags 1..n in this order) and clears every claim.
  void TimerInit(const std::vector<WindowTimer*>& timers);
  // Claims the first free timer, sets its interval and starts it; returns its id. A running
  // timer is never handed to a second owner: when every timer is busy the pool adds one, up to
  // kMaxTimers; beyond that it returns 0 (no timer).
  int TimerStart(uint32_t intervalMs);
  // Frees and disables the timer; always returns 0, which callers store as "no timer held".
  int TimerStop(int id);
  // Starts the countdown of a claimed timer over; does nothing for a free id or id <= 0.
  void TimerRestart(int id);
  // Expiry of any pool timer: posts its id as a timer event and pumps, unless it was disabled
  // before the window system delivered the expiry.
  void TimerIntervall(WindowTimer& timer);

  // Divides every interval handed to TimerStart (a test time scale; 1 = real time).
  void SetTimeScale(int32_t divisor) { scale_ = divisor < 1 ? 1 : divisor; }

  int Count() const { return count_; }
  bool InUse(int id) const { return id >= 1 && id <= count_ && inUse_[id]; }
  WindowTimer* Timer(int id) const { return id >= 1 && id <= count_ ? timers_[id - 1] : nullptr; }

 private:
  bool AddTimer(WindowTimer* timer);

  WindowSystem& windows_;
  EventQueue& queue_;
  EventPump& pump_;
  std::array<WindowTimer*, kMaxTimers> timers_{};
  std::array<bool, kMaxTimers + 1> inUse_{};
  int count_ = 0;
  int32_t scale_ = 1;
  std::vector<std::unique_ptr<WindowTimer>> extra_;
};

}  // namespace core
