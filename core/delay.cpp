#include "core/delay.h"

namespace core {

void TDelay::DelayTime(int32_t milliseconds, bool processMessages) {
  if (!enable_) return;
  const int32_t duration = milliseconds / dividend_;
  if (duration <= 0) return;
  const uint32_t end = windows_.TickCount() + static_cast<uint32_t>(duration);
  // Wrap-safe comparison: a deadline beyond the counter's wrap is reached like any other.
  while (!TickReached(windows_.TickCount(), end)) {
    if (processMessages) {
      windows_.WaitMessages(end);
    } else {
      windows_.SleepUntil(end);
    }
  }
}

}  // namespace core
