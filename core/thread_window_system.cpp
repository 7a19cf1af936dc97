#include "core/thread_window_system.h"

#include <thread>

namespace core {

class ThreadWindowSystem::Timer : public WindowTimer {
 public:
  explicit Timer(ThreadWindowSystem& owner) : owner_(owner), id_(owner.nextTimerId_++) {
    owner_.timers_.emplace(id_, this);
  }
  ~Timer() override { owner_.timers_.erase(id_); }

  // A running timer starts its countdown over with the new interval, as window timers do.
  void SetInterval(uint32_t ms) override {
    interval_ = ms;
    if (enabled_) Arm(owner_.Elapsed() + interval_);
  }
  uint32_t Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override {
    if (enabled && !enabled_) {
      enabled_ = true;
      Arm(owner_.Elapsed() + interval_);
    } else if (!enabled) {
      enabled_ = false;
      seq_ = 0;  // the scheduled expiry goes stale
    }
  }
  bool Enabled() const override { return enabled_; }

  // An interval of 0 never expires.
  bool Running() const { return enabled_ && interval_ > 0; }
  bool Owns(const Expiry& expiry) const { return Running() && expiry.seq == seq_; }
  int64_t Due() const { return due_; }

  // Delivers the expiry that fell due at `due` by `now`. A timer that fell behind fires once
  // and catches up, as window timers do. The next expiry is scheduled before the handler runs,
  // so a handler may stop, re-arm or destroy the timer, or wait for messages itself.
  void Fire(int64_t due, int64_t now) {
    int64_t next = due + interval_;
    if (next <= now) next = now + interval_;
    Arm(next);
    Expire();
  }

  void Arm(int64_t at) {
    due_ = at;
    seq_ = interval_ > 0 ? owner_.Schedule(id_, at) : 0;
  }
  uint64_t Seq() const { return seq_; }

 private:
  ThreadWindowSystem& owner_;
  const uint64_t id_;
  uint32_t interval_ = 1000;
  bool enabled_ = false;
  int64_t due_ = 0;
  uint64_t seq_ = 0;
};

namespace {

uint32_t SteadyMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

ThreadWindowSystem::ThreadWindowSystem() : ThreadWindowSystem(SteadyMilliseconds()) {}
ThreadWindowSystem::ThreadWindowSystem(uint32_t firstTick)
    : origin_(Clock::now()), firstTick_(firstTick) {}
ThreadWindowSystem::~ThreadWindowSystem() = default;

int64_t ThreadWindowSystem::Elapsed() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - origin_).count();
}

uint32_t ThreadWindowSystem::TickCount() const {
  return firstTick_ + static_cast<uint32_t>(Elapsed());
}

int64_t ThreadWindowSystem::ToElapsed(uint32_t tick) const {
  const int64_t now = Elapsed();
  const uint32_t nowTick = firstTick_ + static_cast<uint32_t>(now);
  return now + static_cast<int32_t>(tick - nowTick);
}

std::unique_ptr<WindowTimer> ThreadWindowSystem::CreateTimer() {
  return std::make_unique<Timer>(*this);
}

uint64_t ThreadWindowSystem::Schedule(uint64_t timer, int64_t at) {
  // Re-arming leaves stale entries behind (a time-out restarted for every received byte).
  // When they outnumber the timers by far, the heap is rebuilt from the live expiries.
  if (expiries_.size() > 4 * timers_.size() + 64) {
    std::vector<Expiry> live;
    for (const auto& [id, entry] : timers_) {
      if (entry->Running() && entry->Seq() != 0) live.push_back({entry->Due(), entry->Seq(), id});
    }
    expiries_ = decltype(expiries_)(std::greater<Expiry>(), std::move(live));
  }
  const uint64_t seq = nextSeq_++;
  expiries_.push({at, seq, timer});
  return seq;
}

bool ThreadWindowSystem::NextExpiry(int64_t& at) {
  while (!expiries_.empty()) {
    const Expiry& top = expiries_.top();
    const auto timer = timers_.find(top.timer);
    if (timer != timers_.end() && timer->second->Owns(top)) {
      at = top.at;
      return true;
    }
    expiries_.pop();
  }
  return false;
}

bool ThreadWindowSystem::DeliverDueTimers() {
  // Only what is due now: a timer whose handler takes longer than its interval does not keep
  // us here.
  const int64_t now = Elapsed();
  bool any = false;
  int64_t at;
  while (NextExpiry(at) && at <= now) {
    const Expiry due = expiries_.top();
    expiries_.pop();
    timers_.at(due.timer)->Fire(due.at, now);
    any = true;
  }
  return any;
}

void ThreadWindowSystem::PostMessage(uint32_t message, uintptr_t wParam) {
  posted_.Post(message, wParam);
}

void ThreadWindowSystem::SetMessageHandler(MessageHandler handler) {
  handler_ = std::move(handler);
}

bool ThreadWindowSystem::DeliverPosted() {
  return posted_.Deliver(handler_);
}

bool ThreadWindowSystem::AttachSource(WaitSource* source) {
  if (posted_.Source() != nullptr && posted_.Source() != source) return false;
  posted_.SetSource(source);
  return true;
}

void ThreadWindowSystem::DetachSource(WaitSource* source) {
  if (posted_.Source() == source) posted_.SetSource(nullptr);
}

void ThreadWindowSystem::ProcessMessages() {
  posted_.ServeSource();
  DeliverPosted();
  DeliverDueTimers();
}

void ThreadWindowSystem::WaitMessages(uint32_t deadline) {
  const int64_t end = ToElapsed(deadline);
  for (;;) {
    if (DeliverPosted() | DeliverDueTimers()) return;
    if (Elapsed() >= end) return;
    int64_t wake = end;
    if (int64_t expiry; NextExpiry(expiry) && expiry < wake) wake = expiry;
    posted_.WaitUntil(origin_ + std::chrono::milliseconds(wake));
  }
}

void ThreadWindowSystem::SleepUntil(uint32_t deadline) {
  // A sleep on the steady clock may end a little early (Windows sleeps whole milliseconds of
  // its own timer): sleep again until the deadline has passed.
  const Clock::time_point until = origin_ + std::chrono::milliseconds(ToElapsed(deadline));
  while (Clock::now() < until) std::this_thread::sleep_until(until);
}

}  // namespace core
