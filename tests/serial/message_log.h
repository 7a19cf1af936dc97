// Records the window messages the serial threads post, on a virtual-clock window system.
#pragma once

#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/virtual_window_system.h"

namespace ptytest {

class MessageLog {
 public:
  explicit MessageLog(core::VirtualWindowSystem& windows) : windows_(windows) {
    windows_.SetMessageHandler(
        [this](uint32_t message, uintptr_t wParam) { seen.emplace_back(message, wParam); });
  }
  ~MessageLog() { windows_.SetMessageHandler(nullptr); }

  // Handles posted messages until count of them have arrived or ms of real time passed.
  bool WaitFor(size_t count, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (seen.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      windows_.SetRealTimeGraceMs(static_cast<int>(left.count()));
      windows_.WaitMessages(windows_.TickCount() + 1);
    }
    windows_.SetRealTimeGraceMs(0);
    return seen.size() >= count;
  }
  size_t Count(uint32_t message) const {
    size_t n = 0;
    for (const auto& m : seen) n += m.first == message;
    return n;
  }

  std::vector<std::pair<uint32_t, uintptr_t>> seen;

 private:
  core::VirtualWindowSystem& windows_;
};

}  // namespace ptytest
