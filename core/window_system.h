// The window system as the event core sees it: message processing, a tick counter, periodic
// window timers and a thread-safe post of a message to the window. Qt implements it for the
// program; tests use VirtualWindowSystem, whose clock only moves when the code waits.
#pragma once

#include <chrono>
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

// Input that the window thread takes itself while it waits, in place of a thread that takes it
// and posts a message for it: an arrival then wakes one thread, the one that answers it. A port
// offers its line this way while a loader holds it. Serving it posts the usual messages (from the
// window thread to itself).
class WaitSource {
 public:
  using Clock = std::chrono::steady_clock;

  virtual ~WaitSource() = default;
  // Window thread: waits until input has come, Interrupt is called or until has passed (at once
  // when it has); true when input has come. Never spins.
  virtual bool Wait(Clock::time_point until) = 0;
  // Any thread: ends the current Wait, or the next one at once.
  virtual void Interrupt() = 0;
  // Window thread: takes the input that has come and posts what it means.
  virtual void Serve() = 0;
  // For a window system that watches descriptors in its own loop: the descriptor that turns
  // readable when input comes (-1: none), and for how many milliseconds from now it needs no
  // watching: 0 watch it now, -1 not until the source is asked again (it cannot take input now).
  virtual int Descriptor() const = 0;
  virtual int QuietMs() = 0;
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
  // Window thread: the waits and message processing of this window system serve the source (one
  // at a time) until it is detached. False when this window system cannot: the source's owner
  // goes on taking its input in its own way then.
  virtual bool AttachSource(WaitSource* source) {
    (void)source;
    return false;
  }
  virtual void DetachSource(WaitSource* source) { (void)source; }
};

// True when tick a lies at or after tick b, across the wrap of the 32-bit counter.
inline bool TickReached(uint32_t now, uint32_t deadline) {
  return static_cast<int32_t>(now - deadline) >= 0;
}

}  // namespace core
