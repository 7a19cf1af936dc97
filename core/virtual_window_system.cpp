#include "core/virtual_window_system.h"

#include <algorithm>
#include <chrono>

namespace core {

class VirtualWindowSystem::Timer : public WindowTimer {
 public:
  explicit Timer(VirtualWindowSystem& owner) : owner_(owner) { owner_.timers_.push_back(this); }
  ~Timer() override { std::erase(owner_.timers_, this); }

  void SetInterval(uint32_t ms) override {
    interval_ = ms;
    if (enabled_) due_ = owner_.now_ + interval_;
  }
  uint32_t Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override {
    if (enabled && !enabled_) due_ = owner_.now_ + interval_;
    enabled_ = enabled;
  }
  bool Enabled() const override { return enabled_; }

  bool Running() const { return enabled_ && interval_ > 0; }
  uint32_t Due() const { return due_; }
  // Delivers one expiry when due. A timer that fell behind fires once and catches up, as
  // window timers do.
  bool FireIfDue() {
    if (!Running() || !TickReached(owner_.now_, due_)) return false;
    due_ += interval_;
    if (TickReached(owner_.now_, due_)) due_ = owner_.now_ + interval_;
    Expire();
    return true;
  }

 private:
  VirtualWindowSystem& owner_;
  uint32_t interval_ = 1000;
  uint32_t due_ = 0;
  bool enabled_ = false;
};

VirtualWindowSystem::VirtualWindowSystem() = default;
VirtualWindowSystem::~VirtualWindowSystem() = default;

std::unique_ptr<WindowTimer> VirtualWindowSystem::CreateTimer() {
  return std::make_unique<Timer>(*this);
}

uint32_t VirtualWindowSystem::TickCount() const {
  std::lock_guard lock(mutex_);
  return now_;
}

void VirtualWindowSystem::SetTick(uint32_t tick) {
  std::lock_guard lock(mutex_);
  now_ = tick;
}

void VirtualWindowSystem::PostMessage(uint32_t message, uintptr_t wParam) {
  posted_.Post(message, wParam);
}

void VirtualWindowSystem::SetMessageHandler(MessageHandler handler) {
  handler_ = std::move(handler);
}

bool VirtualWindowSystem::DeliverPosted() {
  return posted_.Deliver(handler_);
}

bool VirtualWindowSystem::DeliverDueTimers() {
  bool any = false;
  std::vector<Timer*> snapshot = timers_;
  for (Timer* timer : snapshot) {
    // A handler may have destroyed a timer of the snapshot.
    if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) continue;
    any = timer->FireIfDue() || any;
  }
  return any;
}

bool VirtualWindowSystem::NextExpiry(uint32_t& tick) const {
  bool found = false;
  for (const Timer* timer : timers_) {
    if (!timer->Running()) continue;
    if (!found || static_cast<int32_t>(timer->Due() - tick) < 0) tick = timer->Due();
    found = true;
  }
  return found;
}

bool VirtualWindowSystem::AttachSource(WaitSource* source) {
  if (posted_.Source() != nullptr && posted_.Source() != source) return false;
  posted_.SetSource(source);
  return true;
}

void VirtualWindowSystem::DetachSource(WaitSource* source) {
  if (posted_.Source() == source) posted_.SetSource(nullptr);
}

void VirtualWindowSystem::ProcessMessages() {
  ++processCalls_;
  posted_.ServeSource();
  DeliverPosted();
  DeliverDueTimers();
}

void VirtualWindowSystem::WaitMessages(uint32_t deadline) {
  ++waitCalls_;
  posted_.ServeSource();
  if (DeliverPosted() | DeliverDueTimers()) return;
  if (TickReached(now_, deadline)) return;
  if (graceMs_ > 0) {
    if (posted_.WaitUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs_))) {
      DeliverPosted();
      return;
    }
  }
  uint32_t next = deadline;
  uint32_t expiry = 0;
  if (NextExpiry(expiry) && static_cast<int32_t>(expiry - deadline) < 0) next = expiry;
  {
    std::lock_guard lock(mutex_);
    if (static_cast<int32_t>(next - now_) > 0) now_ = next;
  }
  DeliverDueTimers();
}

void VirtualWindowSystem::SleepUntil(uint32_t deadline) {
  ++waitCalls_;
  std::lock_guard lock(mutex_);
  if (!TickReached(now_, deadline)) now_ = deadline;
}

void VirtualWindowSystem::Advance(uint32_t ms) {
  const uint32_t target = now_ + ms;
  ProcessMessages();  // expiries that fell due while the clock was moved without processing
  for (;;) {
    uint32_t expiry = 0;
    if (NextExpiry(expiry) && TickReached(target, expiry) && TickReached(expiry, now_)) {
      {
        std::lock_guard lock(mutex_);
        if (!TickReached(now_, expiry)) now_ = expiry;
      }
      ProcessMessages();
      continue;
    }
    {
      // A nested wait inside the delivery may have moved the clock past the target already:
      // the clock never goes back.
      std::lock_guard lock(mutex_);
      if (!TickReached(now_, target)) now_ = target;
    }
    ProcessMessages();
    return;
  }
}

}  // namespace core
