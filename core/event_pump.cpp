#include "core/event_pump.h"

#include <utility>

namespace core {

void EventPump::PumpEvents() {
  for (;;) {
    EventRecord first = queue_.Fetch();
    if (first.kind != EVK_NONE) queue_.Dispatch(std::move(first));
    EventRecord second = queue_.Fetch();
    if (second.kind == EVK_NONE) return;
    queue_.Dispatch(std::move(second));
    // Message processing can start a nested pump (a timer or received data posts and pumps).
    // The nested pump skips the message processing and counts up; past 10 it lets one of its
    // passes process messages again although the outer pump is still inside its own.
    if (pumpDepth_ == 0) {
      pumpDepth_ = 1;
      windows_.ProcessMessages();
      pumpDepth_ = 0;
    } else if (++pumpDepth_ > 10) {
      pumpDepth_ = 0;
    }
  }
}

}  // namespace core
