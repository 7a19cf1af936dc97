// PumpEvents: takes records out of the queue and offers them to the handler chain, letting the
// window system process its messages every second record. It is the only place that fetches.
#pragma once

#include <cstdint>

#include "core/event_queue.h"
#include "core/window_system.h"

namespace core {

class EventPump {
 public:
  EventPump(EventQueue& queue, WindowSystem& windows) : queue_(queue), windows_(windows) {}

  void PumpEvents();
  int32_t PumpDepth() const { return pumpDepth_; }

 private:
  EventQueue& queue_;
  WindowSystem& windows_;
  // Counts nested pumps that skipped message processing; see PumpEvents.
  int32_t pumpDepth_ = 0;
};

}  // namespace core
