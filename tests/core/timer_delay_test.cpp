#include <gtest/gtest.h>

#include <vector>

#include "core/event_core.h"
#include "core/virtual_window_system.h"

namespace core {
namespace {

struct TimerLog {
  std::vector<std::pair<uint32_t, int32_t>> expiries;  // (tick, timer id)
  VirtualWindowSystem* windows;
  EventRecord Handle(EventQueue&, EventRecord record) {
    if (record.kind != EVK_TIMER) return record;
    expiries.emplace_back(windows->TickCount(), record.code);
    return ConsumedEvent;
  }
};

class TimerPoolTest : public ::testing::Test {
 protected:
  TimerPoolTest() : events(windows) {
    log.windows = &windows;
    events.queue.AddHandler(MakeHandler<&TimerLog::Handle>(&log));
  }
  VirtualWindowSystem windows;
  EventCore events;
  TimerLog log;
};

TEST_F(TimerPoolTest, HandsOutFirstFreeIdsAndNeverSharesARunningTimer) {
  TimerPool& pool = events.timers;
  EXPECT_EQ(pool.TimerStart(100), 1);
  EXPECT_EQ(pool.TimerStart(100), 2);
  EXPECT_EQ(pool.TimerStop(1), 0);
  EXPECT_EQ(pool.TimerStart(100), 1);
  for (int expected = 3; expected <= 5; ++expected) EXPECT_EQ(pool.TimerStart(100), expected);
  // All five busy: a sixth owner gets a timer of its own.
  EXPECT_EQ(pool.TimerStart(100), 6);
  EXPECT_EQ(pool.Count(), 6);
  while (pool.TimerStart(100) != 0) {
  }
  EXPECT_EQ(pool.Count(), TimerPool::kMaxTimers);
}

TEST_F(TimerPoolTest, ExpiriesArriveAsTimerEventsEveryInterval) {
  const int id = events.timers.TimerStart(5000);
  windows.Advance(12000);
  EXPECT_EQ(log.expiries, (std::vector<std::pair<uint32_t, int32_t>>{{5000, id}, {10000, id}}));
}

TEST_F(TimerPoolTest, RestartStartsTheCountdownOverAndStopOfNothingIsHarmless) {
  const int id = events.timers.TimerStart(1000);
  windows.Advance(800);
  events.timers.TimerRestart(id);
  windows.Advance(800);
  EXPECT_TRUE(log.expiries.empty());
  windows.Advance(200);
  ASSERT_EQ(log.expiries.size(), 1u);
  EXPECT_EQ(log.expiries[0].first, 1800u);

  EXPECT_EQ(events.timers.TimerStop(0), 0);
  events.timers.TimerRestart(0);
  events.timers.TimerRestart(4);  // free id: stays stopped
  EXPECT_FALSE(events.timers.Timer(4)->Enabled());
  events.timers.TimerStop(id);
  events.timers.TimerRestart(id);
  EXPECT_FALSE(events.timers.Timer(id)->Enabled());
}

TEST_F(TimerPoolTest, ExpiryDeliveredAfterDisableCountsForNothing) {
  const int id = events.timers.TimerStart(100);
  WindowTimer* timer = events.timers.Timer(id);
  events.timers.TimerStop(id);
  // The window system delivers an expiry it had already queued.
  events.timers.TimerIntervall(*timer);
  EXPECT_TRUE(log.expiries.empty());
  EXPECT_EQ(events.queue.Fetch().kind, EVK_NONE);
}

TEST(DelayTime, WaitsOnTheClockWithoutSpinning) {
  VirtualWindowSystem windows;
  TDelay delay(windows);
  delay.DelayTime(5000, true);  // Enable is false by default
  EXPECT_EQ(windows.TickCount(), 0u);

  delay.SetEnable(true);
  delay.DelayTime(2000, true);
  EXPECT_EQ(windows.TickCount(), 2000u);
  EXPECT_LE(windows.WaitCalls(), 2u);

  delay.SetDividend(2);
  delay.DelayTime(1000, false);
  EXPECT_EQ(windows.TickCount(), 2500u);

  for (int bad : {0, -3}) {
    delay.SetDividend(bad);
    EXPECT_EQ(delay.Dividend(), 1);
  }
  delay.DelayTime(0, true);
  EXPECT_EQ(windows.TickCount(), 2500u);
}

TEST(DelayTime, HandlesMessagesOnlyWhenAsked) {
  VirtualWindowSystem windows;
  TDelay delay(windows);
  delay.SetEnable(true);
  int handled = 0;
  windows.SetMessageHandler([&](uint32_t, uintptr_t) { ++handled; });
  auto timer = windows.CreateTimer();
  int expiries = 0;
  timer->SetHandler([&](WindowTimer&) { ++expiries; });
  timer->SetInterval(300);
  timer->SetEnabled(true);

  windows.PostMessage(1, 0);
  delay.DelayTime(1000, false);
  EXPECT_EQ(handled, 0);
  EXPECT_EQ(expiries, 0);

  delay.DelayTime(1000, true);
  EXPECT_EQ(handled, 1);
  EXPECT_GE(expiries, 3);  // the frozen period's expiries collapse into one, then 1300..1900
}

TEST(DelayTime, DeadlineAcrossTheCounterWrap) {
  VirtualWindowSystem windows;
  windows.SetTick(0xFFFFFF00u);
  TDelay delay(windows);
  delay.SetEnable(true);
  delay.DelayTime(1000, true);
  EXPECT_EQ(windows.TickCount(), 0xFFFFFF00u + 1000u);
}

}  // namespace
}  // namespace core
