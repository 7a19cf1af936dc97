#include "core/run_scaffold.h"

#include <algorithm>

namespace core {

RunScaffold::RunScaffold(EventCore& events, EventHandler handler)
    : events_(events), handler_(handler) {}

RunScaffold::~RunScaffold() {
  Detach();
}

void RunScaffold::Attach() {
  if (!Attached()) events_.queue.AddHandler(handler_);
}

void RunScaffold::Detach() {
  events_.queue.RemoveHandler(handler_);
  StopTimers();
}

bool RunScaffold::Attached() const {
  return events_.queue.HasHandler(handler_);
}

int32_t RunScaffold::StartTimer(uint32_t intervalMs) {
  const int32_t id = events_.timers.TimerStart(intervalMs);
  if (id != 0) timers_.push_back(id);
  return id;
}

int32_t RunScaffold::StopTimer(int32_t id) {
  if (id == 0) return 0;
  timers_.erase(std::remove(timers_.begin(), timers_.end(), id), timers_.end());
  return events_.timers.TimerStop(id);
}

void RunScaffold::RestartTimer(int32_t id) {
  if (id != 0) events_.timers.TimerRestart(id);
}

void RunScaffold::StopTimers() {
  for (int32_t id : timers_) events_.timers.TimerStop(id);
  timers_.clear();
}

void RunScaffold::WaitUntil(const std::function<bool()>& ended) {
  WindowSystem& windows = events_.windows;
  while (!ended()) {
    events_.pump.PumpEvents();
    if (ended()) break;
    windows.WaitMessages(windows.TickCount() + kWaitSliceMs);
  }
}

}  // namespace core
