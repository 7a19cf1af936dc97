#include "core/event_core.h"

namespace core {

EventCore::EventCore(WindowSystem& windowSystem)
    : windows(windowSystem),
      pump(queue, windowSystem),
      timers(windowSystem, queue, pump),
      wait(windowSystem) {
  wait.SetEnable(true);
  wait.SetDividend(1);
  std::vector<WindowTimer*> pool;
  for (int i = 0; i < kPoolTimers; ++i) {
    poolTimers_.push_back(windowSystem.CreateTimer());
    pool.push_back(poolTimers_.back().get());
  }
  timers.TimerInit(pool);
}

}  // namespace core
