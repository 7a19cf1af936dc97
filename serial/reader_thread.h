// The receive thread of an open port. It drains the device into the receive queue and tells the
// owner window that data arrived, with at most one notification outstanding: Aktiv is set when
// WM_V24_RECEIVED is posted and cleared by Read, ReadReceived, Reset_SetAktiv, Close or the
// watchdog. A reader that knows how many bytes it lacks may ask for the notification only once
// that many are queued (AnnounceAt); the next read, write, line setting or reset asks for every
// byte again. While such a count is outstanding, the thread sleeps after an arrival for a quarter
// of the time the line needs to carry the missing bytes, instead of waking for every byte: the
// last of them cannot come sooner, and the other three quarters leave room for a sender or an
// adapter that hands over late and then catches up. Line errors and the loss of the device are
// posted too. It never calls into the owner otherwise.
//
// Direct receive: while a loader holds the line, the thread can stand aside and hand the line to
// the owner window's own waits (a wait source of the window system). The window thread then takes
// the arrivals, with the same notification rules and pauses, and posts WM_V24_RECEIVED to itself:
// an answer wakes one thread, the one that sends the next command, instead of this thread and
// then the window thread. The two never take from the line at the same time: the window thread
// begins only once this thread has parked, and it stops before this thread resumes.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "core/window_system.h"
#include "serial/posix_line.h"
#include "serial/rx_queue.h"

namespace serial {

class TV24Read_Thread {
 public:
  // The longest a pass waits for a line event.
  static constexpr int kPassMs = 1000;
  // A second arrival that stays unannounced this long is announced by itself.
  static constexpr uint32_t kWatchdogMs = 5000;
  // The longest sleep through the wire time of missing bytes.
  static constexpr int kPauseMaxMs = 10;

  // Created suspended; Start lets it run.
  TV24Read_Thread(core::WindowSystem* ownerWindow, os::SystemLine& line, RxQueue& rx, int comNumber,
                  const std::atomic<bool>& discardNull);
  ~TV24Read_Thread();
  TV24Read_Thread(const TV24Read_Thread&) = delete;
  TV24Read_Thread& operator=(const TV24Read_Thread&) = delete;

  void Start();
  // Asks the thread to end and waits for it.
  void Stop();

  bool Aktiv() const;
  // Also asks for every arrival to be announced again.
  void ClearAktiv();
  // Arrivals are announced once count bytes are queued (at least one); when they are already,
  // at once.
  void AnnounceAt(size_t count);
  // A read left bytes in the queue: they are announced now unless a notification is out.
  void AnnounceUnread();
  // Read made room in a full receive queue.
  void WakeForRoom() { wake_.Signal(); }
  // The wire time of one character at the line's current settings (0: unknown, no sleeping).
  void SetCharacterTime(uint32_t us) { characterUs_ = us; }
  bool DeviceLost() const { return lost_.load(); }
  // Passes that took bytes from the line.
  uint64_t Passes() const { return passes_.load(); }

  // Window thread. Direct receive begins when the owner window can wait on the line (false: this
  // thread goes on taking the arrivals) and ends when asked, or with Stop.
  bool BeginDirect();
  void EndDirect();
  bool Direct() const { return direct_; }
  // Window thread, direct receive: waits for the line until `until` and takes what has come (for
  // a read that waits); true when something came.
  bool WaitDirect(std::chrono::steady_clock::time_point until);
  void ServeDirect();
  // Passes taken by the window thread in direct receive (of Passes).
  uint64_t DirectPasses() const { return directPasses_.load(); }

 private:
  using Clock = std::chrono::steady_clock;

  // The line as the owner window's wait source.
  class Source : public core::WaitSource {
   public:
    explicit Source(TV24Read_Thread& owner) : owner_(owner) {}
    bool Wait(Clock::time_point until) override { return owner_.WaitLine(until); }
    void Interrupt() override { owner_.wake_.Signal(); }
    void Serve() override { owner_.ServeDirect(); }
    int Descriptor() const override { return owner_.line_.Handle(); }
    int QuietMs() override { return owner_.DirectQuietMs(); }

   private:
    TV24Read_Thread& owner_;
  };
  struct LineEvent {
    bool received = false;
    bool error = false;
    bool frame = false, overrun = false, parity = false, brk = false;
  };

  void Execute();
  // Takes from the line after a wait with this result and announces; true when bytes came
  // without an error (a pause may follow).
  bool Pass(os::WaitResult wait);
  // Parks the thread while the window thread takes the arrivals; true when it had parked.
  bool StandAside();
  bool WaitLine(Clock::time_point until);
  // How long the window thread need not watch the line (see core::WaitSource::QuietMs).
  int DirectQuietMs();
  void Drain(LineEvent& event);
  void CheckErrorCounters(LineEvent& event);
  void NotifyReceived(bool received);
  // With aktivLock_ held: posts WM_V24_RECEIVED and marks it outstanding.
  void PostReceived();
  // After an arrival: how long the bytes still asked for keep the line busy at the least, in
  // whole milliseconds (0: no pause).
  int PauseMs();
  // With aktivLock_ held: ends a pause early, since fewer bytes are asked for now.
  void EndPause();
  void ReportErrors(const LineEvent& event);
  void Post(uint32_t message);
  uint32_t Tick() const;

  core::WindowSystem* ownerWindow_;
  os::SystemLine& line_;
  RxQueue& rx_;
  const int comNumber_;
  const std::atomic<bool>& discardNull_;

  mutable std::mutex aktivLock_;
  bool aktiv_ = false;
  size_t announceAt_ = 1;  // guarded by aktivLock_
  bool pausing_ = false;   // guarded by aktivLock_
  std::atomic<uint32_t> characterUs_{0};
  std::atomic<uint64_t> passes_{0};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> lost_{false};
  os::WakeObject wake_;
  std::thread thread_;

  // The hand-over of the line between this thread and the window thread.
  std::mutex modeLock_;
  std::condition_variable modeChanged_;
  bool standAside_ = false;  // guarded by modeLock_
  bool parked_ = false;      // guarded by modeLock_
  // Window thread only.
  bool direct_ = false;
  os::WaitResult directWait_ = os::WaitResult::Readable;
  Clock::time_point quietUntil_{};  // guarded by aktivLock_, with pausing_
  std::atomic<uint64_t> directPasses_{0};
  Source source_{*this};

  // State of the notification rules: the thread's, or the window thread's while it stands aside.
  bool busy_ = false;     // an arrival was seen while a notification was outstanding
  bool timing_ = false;   // the watchdog runs
  uint32_t stamp_ = 0;    // tick at which it started
  bool carried_ = false;  // an unannounced arrival is carried into later passes
  bool haveCounters_ = false;
  os::ErrorCounts counters_;
};

}  // namespace serial
