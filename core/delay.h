// TDelay waits a number of milliseconds, optionally letting the window system handle its
// messages meanwhile (timers, received data and clicks are then handled inside the wait).
#pragma once

#include <cstdint>

#include "core/window_system.h"

namespace core {

class TDelay {
 public:
  explicit TDelay(WindowSystem& windows) : windows_(windows) {}

  // Returns at once when Enable is false or the divided duration is not positive.
  void DelayTime(int32_t milliseconds, bool processMessages);

  bool Enable() const { return enable_; }
  void SetEnable(bool enable) { enable_ = enable; }
  int32_t Dividend() const { return dividend_; }
  // Values below 1 store 1.
  void SetDividend(int32_t dividend) { dividend_ = dividend < 1 ? 1 : dividend; }

 private:
  WindowSystem& windows_;
  bool enable_ = false;
  int32_t dividend_ = 1;
};

}  // namespace core
