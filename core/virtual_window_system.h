// A deterministic window system for tests: a virtual millisecond clock that advances only when
// the code under test waits (WaitMessages, SleepUntil) or the test calls Advance. A 5 s time-out
// costs no real time. Posts from other threads are accepted; when messages are expected from a
// real thread, WaitMessages blocks on them in real time instead of jumping the clock. An attached
// wait source (a real line) is served by message processing and by that real-time wait.
#pragma once

#include <mutex>
#include <vector>

#include "core/posted_messages.h"
#include "core/window_system.h"

namespace core {

class VirtualWindowSystem : public WindowSystem {
 public:
  VirtualWindowSystem();
  ~VirtualWindowSystem() override;

  void ProcessMessages() override;
  void WaitMessages(uint32_t deadline) override;
  void SleepUntil(uint32_t deadline) override;
  uint32_t TickCount() const override;
  std::unique_ptr<WindowTimer> CreateTimer() override;
  void PostMessage(uint32_t message, uintptr_t wParam) override;
  void SetMessageHandler(MessageHandler handler) override;
  bool AttachSource(WaitSource* source) override;
  void DetachSource(WaitSource* source) override;

  // Moves the clock forward by ms, delivering each timer expiry at its moment (with message
  // processing in between, as a running window would).
  void Advance(uint32_t ms);
  // Sets the clock without delivering anything (for wrap-around tests).
  void SetTick(uint32_t tick);
  // How many times WaitMessages and SleepUntil were entered: a busy loop shows as a large count.
  uint64_t WaitCalls() const { return waitCalls_; }
  uint64_t ProcessCalls() const { return processCalls_; }
  // Real-time grace for WaitMessages when nothing is due on the virtual clock but another thread
  // may still post (serial threads in tests). 0 jumps the clock at once.
  void SetRealTimeGraceMs(int ms) { graceMs_ = ms; }

 private:
  class Timer;
  friend class Timer;

  bool DeliverPosted();
  bool DeliverDueTimers();
  // The next tick at which an enabled timer expires; false when none runs.
  bool NextExpiry(uint32_t& tick) const;

  uint32_t now_ = 0;
  std::vector<Timer*> timers_;
  mutable std::mutex mutex_;  // the clock
  PostedMessages posted_;
  MessageHandler handler_;
  uint64_t waitCalls_ = 0;
  uint64_t processCalls_ = 0;
  int graceMs_ = 0;
};

}  // namespace core
