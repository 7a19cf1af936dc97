#include "core/timer_pool.h"

#include <algorithm>

namespace core {

bool TimerPool::AddTimer(WindowTimer* timer) {
  if (count_ >= kMaxTimers) return false;
  timers_[count_] = timer;
  ++count_;
  timer->SetTag(count_);
  timer->SetHandler([this](WindowTimer& expired) { TimerIntervall(expired); });
  return true;
}

void TimerPool::TimerInit(const std::vector<WindowTimer*>& timers) {
  count_ = 0;
  inUse_.fill(false);
  for (WindowTimer* timer : timers) {
    if (!AddTimer(timer)) break;
  }
}

int TimerPool::TimerStart(uint32_t intervalMs) {
  int id = 0;
  for (int candidate = 1; candidate <= count_; ++candidate) {
    if (!inUse_[candidate]) {
      id = candidate;
      break;
    }
  }
  if (id == 0) {
    auto timer = windows_.CreateTimer();
    if (!AddTimer(timer.get())) return 0;
    extra_.push_back(std::move(timer));
    id = count_;
  }
  inUse_[id] = true;
  WindowTimer* timer = timers_[id - 1];
  timer->SetEnabled(false);
  timer->SetInterval(std::max<uint32_t>(1, intervalMs / static_cast<uint32_t>(scale_)));
  timer->SetEnabled(true);
  return id;
}

int TimerPool::TimerStop(int id) {
  if (id >= 1 && id <= count_) {
    inUse_[id] = false;
    timers_[id - 1]->SetEnabled(false);
  }
  return 0;
}

void TimerPool::TimerRestart(int id) {
  if (!InUse(id)) return;
  WindowTimer* timer = timers_[id - 1];
  timer->SetEnabled(false);
  timer->SetInterval(timer->Interval());
  timer->SetEnabled(true);
}

void TimerPool::TimerIntervall(WindowTimer& timer) {
  if (!timer.Enabled()) return;
  queue_.PostTimer(timer.Tag());
  pump_.PumpEvents();
}

}  // namespace core
