// The event core as one bundle: the queue, its pump, the timer pool and the delay component,
// all on one window system. The window and the console front-end each own one.
#pragma once

#include "core/delay.h"
#include "core/event_pump.h"
#include "core/event_queue.h"
#include "core/timer_pool.h"
#include "core/window_system.h"

namespace core {

struct EventCore {
  // The number of pool timers the window hands out at start-up.
  static constexpr int kPoolTimers = 5;

  explicit EventCore(WindowSystem& windowSystem);

  WindowSystem& windows;
  EventQueue queue;
  EventPump pump;
  TimerPool timers;
  TDelay wait;

 private:
  std::vector<std::unique_ptr<WindowTimer>> poolTimers_;
};

}  // namespace core
