// The window system as the event core sees it: message processing, a tick counter, periodic
// window timers and a thread-safe post of a message to the window. Qt implements it for the
// program; tests use VirtualWindowSystem, whose clock only moves when the code waits.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace core {

// A periodic window timer. Expiries arrive as window messages, so they are only delivered
// while the window system processes messages.
class WindowTimer {
 public:
  using Handler = std::function<void(WindowTimer&)>;

  virtual ~WindowTimer() = default;
  virtual void SetInterval(uint32_t ms) = 0;
  virtual uint32_t Interval() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;

  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }
  void SetHandler(Handler handler) { handler_ = std::move(handler); }

 protected:
  // Called by the window system when the timer expires.
  void Expire() {
    if (handler_) handler_(*this);
  }

 private:
  int tag_ = 0;
  Handler handler_;
};

class WindowSystem {
 public:
  // A posted window message: the message number and its word parameter.
  using MessageHandler = std::function<void(uint32_t message, uintptr_t wParam)>;

  virtual ~WindowSystem() = default;

  // Handles every message that is pending now (posted messages, timer expiries, input).
  virtual void ProcessMessages() = 0;
  // Waits until at least one message has been handled or the tick counter reaches deadline,
  // handling messages as they come. Never spins.
  virtual void WaitMessages(uint32_t deadline) = 0;
  // Waits until the tick counter reaches deadline without handling any message.
  virtual void SleepUntil(uint32_t deadline) = 0;
  // Millisecond tick counter; wraps at 2^32.
  virtual uint32_t TickCount() const = 0;
  // A new disabled periodic timer.
  virtual std::unique_ptr<WindowTimer> CreateTimer() = 0;
  // Thread-safe: queues (message, wParam) for the message handler on the window thread.
  virtual void PostMessage(uint32_t message, uintptr_t wParam) = 0;
  // Where posted messages go (the window-message bridge).
  virtual void SetMessageHandler(MessageHandler handler) = 0;
};

// True when tick a lies at or after tick b, across the wrap of the 32-bit counter.
inline bool TickReached(uint32_t now, uint32_t deadline) {
  return static_cast<int32_t>(now - deadline) >= 0;
}

}  // namespace core
