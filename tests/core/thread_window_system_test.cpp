// The console's window system on the real clock. Intervals are a few tens of milliseconds:
// lower bounds are exact (nothing happens early), upper bounds generous (a loaded machine).
#include "core/thread_window_system.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/support/platform.h"

namespace core {
namespace {

constexpr uint32_t kLate = 2000;  // ms a wake may come late on a busy machine

// Milliseconds of processor time this process has used.
double CpuMs() {
  return test::ProcessCpuMs();
}

TEST(ThreadWindowSystem, PostsFromAnotherThreadWakeTheWaitAndArriveInOrder) {
  ThreadWindowSystem windows;
  std::vector<uintptr_t> received;
  const std::thread::id windowThread = std::this_thread::get_id();
  bool onWindowThread = true;
  windows.SetMessageHandler([&](uint32_t message, uintptr_t wParam) {
    EXPECT_EQ(message, 0x400u);
    onWindowThread = onWindowThread && std::this_thread::get_id() == windowThread;
    received.push_back(wParam);
  });
  constexpr uintptr_t kCount = 2000;
  std::thread poster([&] {
    for (uintptr_t i = 0; i < kCount; ++i) windows.PostMessage(0x400, i);
  });
  // The deadline lies far away: only the posts can end these waits in time.
  const uint32_t start = windows.TickCount();
  while (received.size() < kCount && !TickReached(windows.TickCount(), start + 30000)) {
    windows.WaitMessages(windows.TickCount() + 60000);
  }
  poster.join();
  ASSERT_EQ(received.size(), kCount);
  for (uintptr_t i = 0; i < kCount; ++i) ASSERT_EQ(received[i], i);
  EXPECT_TRUE(onWindowThread);
  EXPECT_LT(windows.TickCount() - start, 30000u);
}

TEST(ThreadWindowSystem, AWaitEndsAtItsDeadlineAlsoAcrossTheCounterWrap) {
  for (const uint32_t firstTick : {0u, 0xFFFFFFF0u}) {
    SCOPED_TRACE(firstTick);
    ThreadWindowSystem windows(firstTick);
    const uint32_t start = windows.TickCount();
    const uint32_t deadline = start + 40;
    windows.WaitMessages(deadline);
    EXPECT_TRUE(TickReached(windows.TickCount(), deadline));
    EXPECT_LT(windows.TickCount() - start, 40 + kLate);
    windows.SleepUntil(deadline + 30);
    EXPECT_TRUE(TickReached(windows.TickCount(), deadline + 30));
    // A deadline that has passed returns at once.
    const uint32_t before = windows.TickCount();
    windows.WaitMessages(before - 1000);
    windows.SleepUntil(before - 1000);
    EXPECT_LT(windows.TickCount() - before, kLate);
  }
}

TEST(ThreadWindowSystem, TimersExpireEveryIntervalNeverEarlyAndStopWhenDisabled) {
  ThreadWindowSystem windows;
  const std::unique_ptr<WindowTimer> fast = windows.CreateTimer();
  const std::unique_ptr<WindowTimer> slow = windows.CreateTimer();
  const std::unique_ptr<WindowTimer> idle = windows.CreateTimer();  // never enabled
  std::vector<uint32_t> fastTicks;
  int slowCount = 0;
  int idleCount = 0;
  fast->SetInterval(20);
  slow->SetInterval(500000);
  fast->SetHandler([&](WindowTimer& timer) {
    fastTicks.push_back(windows.TickCount());
    if (fastTicks.size() == 3) timer.SetEnabled(false);  // stopped inside its own expiry
  });
  slow->SetHandler([&](WindowTimer&) { ++slowCount; });
  idle->SetHandler([&](WindowTimer&) { ++idleCount; });
  const uint32_t start = windows.TickCount();
  fast->SetEnabled(true);
  slow->SetEnabled(true);
  while (windows.TickCount() - start < 150) windows.WaitMessages(start + 150);
  ASSERT_EQ(fastTicks.size(), 3u);
  for (size_t k = 0; k < fastTicks.size(); ++k) {
    EXPECT_GE(fastTicks[k] - start, 20 * (k + 1)) << k;
  }
  EXPECT_FALSE(fast->Enabled());
  EXPECT_EQ(slowCount, 0);
  EXPECT_EQ(idleCount, 0);
}

TEST(ThreadWindowSystem, ARestartedTimerCountsDownAfreshAndADestroyedOneNeverFires) {
  ThreadWindowSystem windows;
  std::unique_ptr<WindowTimer> restarted = windows.CreateTimer();
  std::unique_ptr<WindowTimer> destroyed = windows.CreateTimer();
  std::unique_ptr<WindowTimer> destroyer = windows.CreateTimer();
  std::vector<uint32_t> restartedTicks;
  restarted->SetInterval(40);
  restarted->SetHandler([&](WindowTimer&) { restartedTicks.push_back(windows.TickCount()); });
  destroyed->SetInterval(30);
  destroyed->SetHandler([](WindowTimer&) { ADD_FAILURE() << "a destroyed timer fired"; });
  destroyer->SetInterval(10);
  destroyer->SetHandler([&](WindowTimer& timer) {
    destroyed.reset();  // another timer's expiry may be due in the same pass
    timer.SetEnabled(false);
  });
  restarted->SetEnabled(true);
  destroyed->SetEnabled(true);
  destroyer->SetEnabled(true);
  // Many re-arms in a row leave many outdated expiries behind; none of them may fire.
  for (int i = 0; i < 5000; ++i) restarted->SetInterval(40);
  // Re-armed every 10 ms for 100 ms: a 40 ms countdown never runs out meanwhile.
  uint32_t lastRestart = windows.TickCount();
  const uint32_t start = lastRestart;
  while (windows.TickCount() - start < 100) {
    windows.WaitMessages(windows.TickCount() + 10);
    restarted->SetInterval(40);
    lastRestart = windows.TickCount();
  }
  EXPECT_TRUE(restartedTicks.empty());
  while (restartedTicks.empty() && windows.TickCount() - lastRestart < 40 + kLate) {
    windows.WaitMessages(lastRestart + 40 + kLate);
  }
  ASSERT_EQ(restartedTicks.size(), 1u);
  EXPECT_GE(restartedTicks[0] - lastRestart, 40u);
}

TEST(ThreadWindowSystem, ProcessingHandlesWhatIsPendingAndSleepingHandlesNothing) {
  ThreadWindowSystem windows;
  int delivered = 0;
  windows.SetMessageHandler([&](uint32_t, uintptr_t) {
    ++delivered;
    windows.PostMessage(1, 0);  // a handler that posts again does not hold the loop
  });
  windows.PostMessage(1, 0);
  windows.SleepUntil(windows.TickCount() + 20);
  EXPECT_EQ(delivered, 0);
  windows.ProcessMessages();
  EXPECT_EQ(delivered, 1);
  windows.WaitMessages(windows.TickCount() + 60000);
  EXPECT_EQ(delivered, 2);
}

TEST(ThreadWindowSystem, WaitingWithNothingToDoUsesNoProcessorTime) {
  ThreadWindowSystem windows;
  const std::unique_ptr<WindowTimer> timer = windows.CreateTimer();
  int expiries = 0;
  timer->SetInterval(100);
  timer->SetHandler([&](WindowTimer&) { ++expiries; });
  timer->SetEnabled(true);
  const double cpuBefore = CpuMs();
  const uint32_t start = windows.TickCount();
  // One long wait, then the loop of a caller that waits in short slices.
  windows.WaitMessages(start + 250);
  while (windows.TickCount() - start < 500) windows.WaitMessages(windows.TickCount() + 50);
  EXPECT_GE(expiries, 2);
  EXPECT_LT(CpuMs() - cpuBefore, 100.0);
}

}  // namespace
}  // namespace core
