#include "winshell/win_window_system.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "winshell/win_dialogs.h"

namespace winshell {
namespace {

// Waits through the window system until done or the deadline; false at the deadline.
template <typename Done>
bool WaitFor(Win32WindowSystem& windows, uint32_t ms, Done done) {
  const uint32_t deadline = windows.TickCount() + ms;
  while (!done()) {
    if (core::TickReached(windows.TickCount(), deadline)) return false;
    windows.WaitMessages(deadline);
  }
  return true;
}

TEST(Win32WindowSystemTest, PostsFromAnotherThreadArriveInOrderOnTheWindowThread) {
  Win32WindowSystem windows;
  std::vector<std::pair<uint32_t, uintptr_t>> seen;
  std::thread::id handlerThread;
  windows.SetMessageHandler([&](uint32_t message, uintptr_t wParam) {
    handlerThread = std::this_thread::get_id();
    seen.emplace_back(message, wParam);
  });
  std::thread poster([&windows] {
    for (uintptr_t i = 0; i < 100; ++i) windows.PostMessage(0x8001, i);
    // A word parameter as wide as a pointer survives the trip.
    windows.PostMessage(0x8002, ~uintptr_t{0});
  });
  poster.join();
  ASSERT_TRUE(WaitFor(windows, 5000, [&] { return seen.size() == 101; }));
  EXPECT_EQ(handlerThread, std::this_thread::get_id());
  for (uintptr_t i = 0; i < 100; ++i) EXPECT_EQ(seen[i], std::make_pair(0x8001u, i));
  EXPECT_EQ(seen[100], std::make_pair(0x8002u, ~uintptr_t{0}));
}

TEST(Win32WindowSystemTest, TimersExpireWithTheirTagWhileEnabledAndNotAfterwards) {
  Win32WindowSystem windows;
  std::unique_ptr<core::WindowTimer> timer = windows.CreateTimer();
  std::unique_ptr<core::WindowTimer> idle = windows.CreateTimer();
  timer->SetTag(3);
  int expiries = 0;
  int idleExpiries = 0;
  timer->SetHandler([&](core::WindowTimer& expired) {
    EXPECT_EQ(expired.Tag(), 3);
    if (++expiries == 3) expired.SetEnabled(false);
  });
  idle->SetHandler([&](core::WindowTimer&) { ++idleExpiries; });
  idle->SetInterval(10);
  timer->SetInterval(20);
  EXPECT_FALSE(timer->Enabled());
  timer->SetEnabled(true);
  EXPECT_TRUE(timer->Enabled());
  EXPECT_EQ(timer->Interval(), 20u);
  ASSERT_TRUE(WaitFor(windows, 5000, [&] { return expiries == 3; }));
  EXPECT_FALSE(timer->Enabled());
  // Nothing more comes, neither from the stopped timer nor from the one never enabled.
  WaitFor(windows, 150, [] { return false; });
  EXPECT_EQ(expiries, 3);
  EXPECT_EQ(idleExpiries, 0);
}

TEST(Win32WindowSystemTest, ATimerDestroyedWhileItsExpiryIsDueCallsNobody) {
  Win32WindowSystem windows;
  int expiries = 0;
  {
    std::unique_ptr<core::WindowTimer> timer = windows.CreateTimer();
    timer->SetHandler([&](core::WindowTimer&) { ++expiries; });
    timer->SetInterval(10);
    timer->SetEnabled(true);
    Sleep(50);  // the expiry is due, not yet handled
  }
  WaitFor(windows, 100, [] { return false; });
  EXPECT_EQ(expiries, 0);
}

TEST(Win32WindowSystemTest, AWaitWithoutMessagesEndsAtItsDeadline) {
  Win32WindowSystem windows;
  const uint32_t start = windows.TickCount();
  windows.WaitMessages(start + 100);
  const uint32_t waited = windows.TickCount() - start;
  EXPECT_GE(waited, 90u);
  EXPECT_LT(waited, 2000u);
}

TEST(Win32WindowSystemTest, AnExceptionOfAHandlerReachesTheWaitThatDispatchedIt) {
  Win32WindowSystem windows;
  windows.SetMessageHandler([](uint32_t, uintptr_t) { throw std::runtime_error("handler"); });
  windows.PostMessage(0x8001, 0);
  EXPECT_THROW(WaitFor(windows, 5000, [] { return false; }), std::runtime_error);
  // Once thrown it is gone: the window system goes on.
  int seen = 0;
  windows.SetMessageHandler([&](uint32_t, uintptr_t) { ++seen; });
  windows.PostMessage(0x8001, 0);
  EXPECT_TRUE(WaitFor(windows, 5000, [&] { return seen == 1; }));
}

TEST(DisplayTextTest, EveryLineBreakBecomesCrLfAndUtf8BecomesUtf16) {
  const std::pair<const char*, const wchar_t*> cases[] = {
      {"a\nb", L"a\r\nb"},           {"a\r\nb", L"a\r\nb"},    {"a\rb", L"a\r\nb"},
      {"a\r\n\r\nb", L"a\r\n\r\nb"}, {"Gerät", L"Ger\u00e4t"}, {"", L""},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(DisplayText(text), shown) << text;
}

}  // namespace
}  // namespace winshell
