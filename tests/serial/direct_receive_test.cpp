// Direct receive: while a loader holds the line, the window thread's own wait takes the arrivals
// and announces them to itself, and the receive thread stands aside. Shown on the console's window
// system over a pseudo-terminal: the announcement comes without a post from another thread, a
// post from another thread still ends the wait, a waiting read still works, and the hand-over
// back to the receive thread neither loses nor doubles a byte.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/thread_window_system.h"
#include "serial/com_port.h"
#include "serial/window_messages.h"
#include "tests/serial/pty_fixture.h"

namespace serial {
namespace {

using std::chrono::milliseconds;

// The console's window system, noting which thread posted each message.
class PosterLog : public core::ThreadWindowSystem {
 public:
  void PostMessage(uint32_t message, uintptr_t wParam) override {
    {
      std::lock_guard lock(mutex_);
      posters_.push_back(std::this_thread::get_id());
    }
    ThreadWindowSystem::PostMessage(message, wParam);
  }
  // Posts that came from another thread than `window`.
  size_t PostsFromOtherThreads(std::thread::id window) const {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const auto& id : posters_) n += id != window;
    return n;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::thread::id> posters_;
};

class DirectReceiveTest : public ::testing::Test {
 protected:
  DirectReceiveTest() : pty(dir.Add(2)) {
    port.V24.Parameter.Schnittstelle = Com__2;
    windows.SetMessageHandler([this](uint32_t message, uintptr_t) {
      if (message == WM_V24_RECEIVED) ++announced;
    });
  }
  void SetUp() override { ASSERT_GT(port.Open(&windows, -1, true), 0); }

  // Handles messages until `count` announcements have come or ms passed.
  bool WaitAnnounced(int count, int ms) {
    const uint32_t end = windows.TickCount() + static_cast<uint32_t>(ms);
    while (announced < count && !core::TickReached(windows.TickCount(), end)) {
      windows.WaitMessages(end);
    }
    return announced >= count;
  }
  std::string ReadAll() {
    char buffer[512];
    const int32_t n = port.ReadReceived(buffer, 500);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
  }

  ptytest::PortDir dir;
  ptytest::Pty& pty;
  PosterLog windows;
  int announced = 0;
  TComPort port{TComPort::Inventory::Skip};
  const std::thread::id windowThread = std::this_thread::get_id();
};

TEST_F(DirectReceiveTest, AnAnswerIsAnnouncedByTheWindowThreadsOwnWait) {
  ASSERT_TRUE(port.BeginDirectReceive());
  EXPECT_TRUE(port.DirectReceive());
  for (const std::string answer : {"\x90", "abc", "a longer answer of a boot loader"}) {
    SCOPED_TRACE(answer);
    const int before = announced;
    pty.Send(answer);
    ASSERT_TRUE(WaitAnnounced(before + 1, 3000)) << "not announced";
    std::this_thread::sleep_for(milliseconds(20));  // the whole answer is at the port
    EXPECT_EQ(ReadAll() + ReadAll(), answer);
  }
  EXPECT_EQ(windows.PostsFromOtherThreads(windowThread), 0u) << "the receive thread posted";
  EXPECT_GT(port.DirectReceivePasses(), 0u);
  EXPECT_EQ(port.ReceivePasses(), port.DirectReceivePasses()) << "the receive thread read";

  // Back in normal mode the receive thread announces again.
  port.EndDirectReceive();
  EXPECT_FALSE(port.DirectReceive());
  const int before = announced;
  pty.Send("after");
  ASSERT_TRUE(WaitAnnounced(before + 1, 3000));
  EXPECT_GT(windows.PostsFromOtherThreads(windowThread), 0u);
  std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(ReadAll(), "after");
}

// A frame at the line's pace in direct receive: the window thread sleeps through the wire time
// of the missing bytes as the receive thread would, and hands over the frame with one
// announcement.
TEST_F(DirectReceiveTest, AFrameAtWirePaceWakesTheWindowThreadSeldom) {
  ASSERT_TRUE(port.ChangeBaudrate(B__9600));
  ASSERT_TRUE(port.BeginDirectReceive());
  const std::string frame(60, 'f');
  port.AnnounceAt(frame.size());
  std::thread device([&] {
    for (char c : frame) {
      pty.Send(std::string(1, c));
      std::this_thread::sleep_for(std::chrono::microseconds(1100));  // a character at 9600 baud
    }
  });
  const bool whole = WaitAnnounced(1, 3000);
  device.join();
  ASSERT_TRUE(whole) << "the frame was not announced";
  EXPECT_EQ(announced, 1);
  EXPECT_EQ(ReadAll(), frame);
  EXPECT_LT(port.DirectReceivePasses(), frame.size() / 2) << "woken for nearly every byte";
}

// Other threads still reach the window thread while it waits on the line: their post ends the
// wait at once, not at its deadline.
TEST_F(DirectReceiveTest, APostFromAnotherThreadEndsTheWaitOnTheLine) {
  ASSERT_TRUE(port.BeginDirectReceive());
  bool other = false;
  windows.SetMessageHandler([&](uint32_t message, uintptr_t) { other = message == 0x4321; });
  std::thread poster([&] {
    std::this_thread::sleep_for(milliseconds(50));
    windows.PostMessage(0x4321, 0);
  });
  const auto start = std::chrono::steady_clock::now();
  windows.WaitMessages(windows.TickCount() + 20000);
  poster.join();
  EXPECT_TRUE(other);
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(5000));
}

// Read, which waits for its bytes, waits on the line itself in direct receive, with its rules:
// it ends when the count has come, or once a gap follows the bytes that came.
TEST_F(DirectReceiveTest, AWaitingReadTakesItsBytesFromTheLine) {
  port.V24.Parameter.RXTimeOut = 3000;
  port.Close();
  ASSERT_GT(port.Open(&windows, -1, true), 0);
  ASSERT_TRUE(port.BeginDirectReceive());
  struct Case {
    const char* sent;
    uint32_t asked;
    const char* read;
  };
  for (const Case& c : {Case{"hello", 5, "hello"}, Case{"ab", 10, "ab"}}) {
    SCOPED_TRACE(c.sent);
    std::thread device([&] {
      std::this_thread::sleep_for(milliseconds(30));
      pty.Send(c.sent);
    });
    char buffer[16];
    const auto start = std::chrono::steady_clock::now();
    const int32_t n = port.Read(buffer, c.asked);
    device.join();
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(std::max(n, 0))), c.read);
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(2500)) << "read to time-out";
  }
}

// A stream that keeps arriving while the line changes hands again and again, and whose rest comes
// after the line went back to the receive thread: every byte is read once, in order.
TEST_F(DirectReceiveTest, HandingTheLineOverLosesAndDoublesNoByte) {
  std::string sent;
  for (int i = 0; i < 3000; ++i) sent += static_cast<char>('A' + i % 26);
  std::atomic<size_t> sending{0};
  std::thread device([&] {
    for (size_t at = 0; at < sent.size(); at += 7) {
      sending = at;
      pty.Send(sent.substr(at, 7));
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  });
  std::string got;
  bool direct = false;
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (sending < sent.size() / 2 && std::chrono::steady_clock::now() < end) {
    if (direct) {
      port.EndDirectReceive();
    } else {
      ASSERT_TRUE(port.BeginDirectReceive());
    }
    direct = !direct;
    windows.WaitMessages(windows.TickCount() + 3);
    got += ReadAll();
  }
  port.EndDirectReceive();
  device.join();
  // The rest reaches the port only through the receive thread now.
  end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (got.size() < sent.size() && std::chrono::steady_clock::now() < end) {
    windows.WaitMessages(windows.TickCount() + 100);
    got += ReadAll();
  }
  EXPECT_EQ(got, sent);
  EXPECT_LT(port.DirectReceivePasses(), port.ReceivePasses()) << "the receive thread took none";
}

// Closing the port in direct receive hands nothing to a window system that outlives it: the
// wait goes on without the line, and a port opened again can take it over.
TEST_F(DirectReceiveTest, ClosingInDirectReceiveDetachesTheLine) {
  ASSERT_TRUE(port.BeginDirectReceive());
  port.Close();
  EXPECT_FALSE(port.DirectReceive());
  pty.Send("x");
  windows.WaitMessages(windows.TickCount() + 50);
  windows.ProcessMessages();
  EXPECT_EQ(announced, 0);
  ASSERT_GT(port.Open(&windows, -1, true), 0);
  EXPECT_TRUE(port.BeginDirectReceive());
}

}  // namespace
}  // namespace serial
