#include "serial/reader_thread.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "serial/window_messages.h"

namespace serial {

TV24Read_Thread::TV24Read_Thread(core::WindowSystem* ownerWindow, os::SystemLine& line, RxQueue& rx,
                                 int comNumber, const std::atomic<bool>& discardNull)
    : ownerWindow_(ownerWindow),
      line_(line),
      rx_(rx),
      comNumber_(comNumber),
      discardNull_(discardNull) {}

TV24Read_Thread::~TV24Read_Thread() {
  Stop();
}

void TV24Read_Thread::Start() {
  if (thread_.joinable()) return;
  haveCounters_ = line_.ReadErrorCounts(counters_);
  thread_ = std::thread([this] { Execute(); });
}

void TV24Read_Thread::Stop() {
  EndDirect();
  {
    std::lock_guard lock(modeLock_);
    terminated_ = true;
  }
  modeChanged_.notify_all();
  wake_.Signal();
  if (thread_.joinable()) thread_.join();
  ClearAktiv();
}

bool TV24Read_Thread::Aktiv() const {
  std::lock_guard lock(aktivLock_);
  return aktiv_;
}

void TV24Read_Thread::ClearAktiv() {
  std::lock_guard lock(aktivLock_);
  aktiv_ = false;
  announceAt_ = 1;
  EndPause();
}

void TV24Read_Thread::AnnounceAt(size_t count) {
  // The queue's count is looked at under the same lock as the arrivals are announced: a byte
  // that came before the threshold was raised is either counted here or was announced already.
  std::lock_guard lock(aktivLock_);
  if (count < announceAt_) EndPause();
  announceAt_ = std::max<size_t>(count, 1);
  if (!aktiv_ && rx_.Count() >= announceAt_) PostReceived();
}

void TV24Read_Thread::EndPause() {
  if (!pausing_) return;
  pausing_ = false;
  wake_.Signal();
}

int TV24Read_Thread::PauseMs() {
  std::lock_guard lock(aktivLock_);
  const size_t queued = rx_.Count();
  if (aktiv_ || lost_ || rx_.Free() == 0 || announceAt_ <= queued + 1) return 0;
  const uint64_t us = uint64_t{announceAt_ - queued - 1} * characterUs_ / 4;
  const int ms = static_cast<int>(std::min<uint64_t>(us / 1000, kPauseMaxMs));
  pausing_ = ms > 0;
  return ms;
}

void TV24Read_Thread::AnnounceUnread() {
  std::lock_guard lock(aktivLock_);
  if (aktiv_) return;
  PostReceived();
}

void TV24Read_Thread::PostReceived() {
  aktiv_ = true;
  Post(serial::WM_V24_RECEIVED);
}

uint32_t TV24Read_Thread::Tick() const {
  // The owner's tick counter, so that tests can run the watchdog on a virtual clock.
  if (ownerWindow_) return ownerWindow_->TickCount();
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void TV24Read_Thread::Post(uint32_t message) {
  if (ownerWindow_) ownerWindow_->PostMessage(message, static_cast<uintptr_t>(comNumber_));
}

void TV24Read_Thread::Execute() {
  while (!terminated_) {
    if (StandAside()) continue;
    // A full queue or a lost device is not waited on: nothing could be taken from it.
    const bool forData = !lost_ && rx_.Free() > 0;
    // Passes without a line event matter only while an arrival is carried or the driver keeps
    // error counters to look at; otherwise the thread sleeps until something happens.
    const int timeoutMs = carried_ || (haveCounters_ && !lost_) ? kPassMs : -1;
    const os::WaitResult wait = line_.Wait(forData, wake_, timeoutMs);
    if (terminated_) break;
    // Only an arrival bounds when the rest can come; after a quiet pass it may come at once.
    const int pauseMs = Pass(wait) ? PauseMs() : 0;
    if (pauseMs > 0) {
      line_.Wait(false, wake_, pauseMs);  // Stop, a read or a smaller count end it early
      std::lock_guard lock(aktivLock_);
      pausing_ = false;
    }
  }
}

bool TV24Read_Thread::Pass(os::WaitResult wait) {
  LineEvent event;
  if (wait == os::WaitResult::Readable || wait == os::WaitResult::Hangup) Drain(event);
  if (wait == os::WaitResult::Hangup && !lost_) {
    lost_ = true;
    rx_.SetGone();
    event.error = true;  // an error event without a flag: WM_V24_ERROR, once
  }
  if (event.received) ++passes_;
  if (!lost_) CheckErrorCounters(event);
  NotifyReceived(event.received);
  if (event.error) ReportErrors(event);
  return event.received && !event.error;
}

bool TV24Read_Thread::StandAside() {
  std::unique_lock lock(modeLock_);
  if (!standAside_) return false;
  parked_ = true;
  modeChanged_.notify_all();
  modeChanged_.wait(lock, [this] { return !standAside_ || terminated_; });
  parked_ = false;
  return true;
}

bool TV24Read_Thread::BeginDirect() {
  if (direct_ || ownerWindow_ == nullptr || !os::WindowThreadMayWait() || !thread_.joinable() ||
      terminated_) {
    return direct_;
  }
  if (!ownerWindow_->AttachSource(&source_)) return false;
  // Nothing is served before this returns: the window thread is here. Once the thread has
  // parked, it takes nothing more from the line; what it took is queued and announced.
  std::unique_lock lock(modeLock_);
  standAside_ = true;
  wake_.Signal();
  modeChanged_.wait(lock, [this] { return parked_; });
  direct_ = true;
  return true;
}

void TV24Read_Thread::EndDirect() {
  if (!direct_) return;
  ownerWindow_->DetachSource(&source_);
  direct_ = false;
  {
    // A pause of the window thread's is not the thread's: it starts over with the next arrival.
    std::lock_guard lock(aktivLock_);
    pausing_ = false;
  }
  {
    std::lock_guard lock(modeLock_);
    standAside_ = false;
  }
  modeChanged_.notify_all();
}

int TV24Read_Thread::DirectQuietMs() {
  if (lost_ || rx_.Free() == 0) return -1;
  std::lock_guard lock(aktivLock_);
  if (!pausing_) return 0;
  const auto left = quietUntil_ - Clock::now();
  if (left <= Clock::duration::zero()) {
    pausing_ = false;
    return 0;
  }
  // Rounded up: a wait that ended early would only look again.
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

bool TV24Read_Thread::WaitLine(Clock::time_point until) {
  for (;;) {
    const int quietMs = DirectQuietMs();
    const Clock::time_point now = Clock::now();
    Clock::time_point end = until;
    if (quietMs > 0) end = std::min(until, now + std::chrono::milliseconds(quietMs));
    const auto left = std::max(end - now, Clock::duration::zero());
    const int timeoutMs =
        static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
    const os::WaitResult wait = line_.Wait(quietMs == 0, wake_, timeoutMs);
    if (wait == os::WaitResult::Readable || wait == os::WaitResult::Hangup) {
      directWait_ = wait;
      return true;
    }
    // Woken (a post, Close, a read that made room), or the time has come. Only the end of a
    // pause goes on to watch the line.
    if (wait == os::WaitResult::Woken || quietMs == 0 || Clock::now() >= until) return false;
  }
}

bool TV24Read_Thread::WaitDirect(Clock::time_point until) {
  if (!direct_ || !WaitLine(until)) return false;
  ServeDirect();
  return true;
}

void TV24Read_Thread::ServeDirect() {
  if (!direct_) return;
  const os::WaitResult wait = std::exchange(directWait_, os::WaitResult::Readable);
  const uint64_t before = passes_;
  const bool received = Pass(wait);
  directPasses_ += passes_ - before;
  // The thread's pause, as a while in which the window thread does not watch the line.
  const int pauseMs = received ? PauseMs() : 0;
  if (pauseMs > 0) {
    std::lock_guard lock(aktivLock_);
    quietUntil_ = Clock::now() + std::chrono::milliseconds(pauseMs);
  }
}

void TV24Read_Thread::Drain(LineEvent& event) {
  uint8_t chunk[4096];
  for (;;) {
    const size_t room = std::min(rx_.Free(), sizeof chunk);
    if (room == 0) return;
    const os::ReadResult read = line_.ReadSome(chunk, room);
    size_t kept = read.count;
    if (discardNull_) kept = std::remove(chunk, chunk + read.count, uint8_t{0}) - chunk;
    if (kept > 0) {
      rx_.Put(chunk, kept);
      event.received = true;
    }
    if (read.hangup && !lost_) {
      lost_ = true;
      rx_.SetGone();
      event.error = true;
      return;
    }
    if (read.count < room) return;
  }
}

void TV24Read_Thread::CheckErrorCounters(LineEvent& event) {
  if (!haveCounters_) return;
  os::ErrorCounts now;
  if (!line_.ReadErrorCounts(now)) return;
  event.frame = now.frame != counters_.frame;
  event.overrun = now.overrun != counters_.overrun;
  event.parity = now.parity != counters_.parity;
  event.brk = now.brk != counters_.brk;
  event.error = event.error || event.frame || event.overrun || event.parity || event.brk;
  counters_ = now;
}

void TV24Read_Thread::NotifyReceived(bool received) {
  if (!received && !carried_) return;
  std::lock_guard lock(aktivLock_);
  if (!aktiv_) {
    // Short of what the reader asked for: the byte that completes it is announced.
    if (announceAt_ > 1 && rx_.Count() < announceAt_) return;
    PostReceived();
    busy_ = timing_ = carried_ = false;
    return;
  }
  const uint32_t now = Tick();
  if (timing_ && now - stamp_ > kWatchdogMs) {
    // The owner missed a notification: the next pass announces the carried arrival.
    aktiv_ = false;
    announceAt_ = 1;
    busy_ = timing_ = false;
  }
  if (busy_ && !timing_) {
    stamp_ = now;
    timing_ = true;
    carried_ = true;
  }
  busy_ = true;
}

void TV24Read_Thread::ReportErrors(const LineEvent& event) {
  const bool flagged = event.frame || event.overrun || event.parity || event.brk;
  if (event.frame || !flagged) Post(serial::WM_V24_ERROR);
  if (event.overrun) Post(serial::WM_V24_OVERRUN);
  if (event.parity) Post(serial::WM_V24_PARITY);
  if (event.brk) line_.EndBreak();
}

}  // namespace serial
