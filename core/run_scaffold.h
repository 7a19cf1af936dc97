// What every part of a run that handles events by itself has in common (a loader, a flow of the
// engine beside its state machine): its handler on the event chain while it runs and off it on
// every way out, its timers in the pool (all stopped when it ends), and a wait until it has
// ended that pumps events and window messages without spinning.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/event_core.h"

namespace core {

class RunScaffold {
 public:
  // How long one wait of WaitUntil may last before it looks at the end condition again.
  static constexpr uint32_t kWaitSliceMs = 1000;

  RunScaffold(EventCore& events, EventHandler handler);
  // Leaves nothing behind, also when a run was cut short.
  ~RunScaffold();
  RunScaffold(const RunScaffold&) = delete;
  RunScaffold& operator=(const RunScaffold&) = delete;

  // The loader's handler goes on the chain (first in line) or comes off it; Detach also stops
  // every timer the run started.
  void Attach();
  void Detach();
  bool Attached() const;

  // A pool timer of this run; StopTimer returns 0 for the caller's id (0 names no timer).
  int32_t StartTimer(uint32_t intervalMs);
  int32_t StopTimer(int32_t id);
  void RestartTimer(int32_t id);
  void StopTimers();

  // Handles events and window messages until ended() holds. The loader's own timers bound the
  // wait: each of its steps ends by an answer or by a time-out that ends the run.
  void WaitUntil(const std::function<bool()>& ended);

  EventCore& Events() { return events_; }

 private:
  EventCore& events_;
  EventHandler handler_;
  std::vector<int32_t> timers_;
};

}  // namespace core
