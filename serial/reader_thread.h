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
#pragma once

#include <atomic>
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

 private:
  struct LineEvent {
    bool received = false;
    bool error = false;
    bool frame = false, overrun = false, parity = false, brk = false;
  };

  void Execute();
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

  // Thread-local state of the notification rules.
  bool busy_ = false;     // an arrival was seen while a notification was outstanding
  bool timing_ = false;   // the watchdog runs
  uint32_t stamp_ = 0;    // tick at which it started
  bool carried_ = false;  // an unannounced arrival is carried into later passes
  bool haveCounters_ = false;
  os::ErrorCounts counters_;
};

}  // namespace serial
