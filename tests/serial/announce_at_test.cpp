// A reader that knows how many bytes it lacks is told once they are there, not byte by byte, and
// no arrival is left unannounced: not the one that completes the count, not one that was already
// queued when the count was asked for, and not one that comes while the reader asks.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/virtual_window_system.h"
#include "serial/com_port.h"
#include "serial/window_messages.h"
#include "tests/serial/message_log.h"
#include "tests/serial/pty_fixture.h"

namespace serial {
namespace {

using std::chrono::milliseconds;

class AnnounceAtTest : public ::testing::Test {
 protected:
  AnnounceAtTest() : pty(dir.Add(2)) { port.V24.Parameter.Schnittstelle = Com__2; }
  void SetUp() override { ASSERT_GT(port.Open(&windows, -1, true), 0); }

  // Waits until the port has queued what was sent (nothing is announced below the count).
  static void LetArrive() { std::this_thread::sleep_for(milliseconds(150)); }
  std::string ReadAll() {
    char buffer[64];
    const int32_t n = port.ReadReceived(buffer, 60);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
  }

  ptytest::PortDir dir;
  ptytest::Pty& pty;
  core::VirtualWindowSystem windows;
  ptytest::MessageLog log{windows};
  TComPort port{TComPort::Inventory::Skip};
};

TEST_F(AnnounceAtTest, TheByteThatCompletesTheCountIsAnnounced) {
  port.AnnounceAt(5);
  pty.Send("abc");
  EXPECT_FALSE(log.WaitFor(1, 300)) << "announced short of the count";
  pty.Send("de");
  ASSERT_TRUE(log.WaitFor(1, 2000)) << "the completing byte was not announced";
  EXPECT_EQ(log.seen[0], std::make_pair(WM_V24_RECEIVED, uintptr_t{2}));
  EXPECT_EQ(ReadAll(), "abcde");
}

// Each way out of a count: the bytes it held back are announced at once, and from then on every
// arrival is.
TEST_F(AnnounceAtTest, WhatEndsACountAnnouncesTheQueuedBytes) {
  struct Case {
    const char* name;
    void (*end)(TComPort&);
  };
  const Case cases[] = {
      {"a count that is reached already", [](TComPort& p) { p.AnnounceAt(2); }},
      {"a write", [](TComPort& p) { p.Write("x", 1, false); }},
      {"a line setting", [](TComPort& p) { p.ChangeBaudrate(B__9600); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log.seen.clear();
    port.AnnounceAt(10);
    pty.Send("ab");
    LetArrive();
    windows.ProcessMessages();
    ASSERT_TRUE(log.seen.empty()) << "announced short of the count";
    c.end(port);
    ASSERT_TRUE(log.WaitFor(1, 2000)) << "the held-back bytes were not announced";
    EXPECT_EQ(ReadAll(), "ab");
    pty.Drain();
    pty.Send("z");
    ASSERT_TRUE(log.WaitFor(2, 2000)) << "a single byte is held back";
    EXPECT_EQ(ReadAll(), "z");
  }
}

// The reader raises the count while the bytes that reach it arrive. Whichever side comes
// second, the reader or the receive thread, must announce; a lost notification leaves the two
// bytes unread.
TEST_F(AnnounceAtTest, ACountRaisedWhileTheBytesArriveIsNotLost) {
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    log.seen.clear();
    std::thread device([&] { pty.Send("pq"); });
    port.AnnounceAt(2);
    device.join();
    // A notification may come for the first byte alone (the count was not raised yet), or
    // late for bytes an earlier read took; every byte is announced.
    std::string got;
    size_t handled = 0;
    while (got.size() < 2) {
      ASSERT_TRUE(log.WaitFor(handled + 1, 2000)) << "arrived unannounced: " << 2 - got.size();
      handled = log.seen.size();
      got += ReadAll();
    }
    EXPECT_EQ(got, "pq");
    windows.ProcessMessages();
  }
}

// A frame that comes at the line's pace: the receive thread sleeps through the wire time of the
// bytes still missing instead of waking for each one, and still hands over the whole frame with
// one notification.
TEST_F(AnnounceAtTest, AFrameAtWirePaceWakesTheReceiveThreadSeldom) {
  ASSERT_TRUE(port.ChangeBaudrate(B__9600));
  const std::string frame(60, 'f');
  port.AnnounceAt(frame.size());
  const uint64_t before = port.ReceivePasses();
  for (char c : frame) {
    pty.Send(std::string(1, c));
    std::this_thread::sleep_for(std::chrono::microseconds(1100));  // a character at 9600 baud
  }
  ASSERT_TRUE(log.WaitFor(1, 2000)) << "the frame was not announced";
  EXPECT_EQ(log.seen.size(), 1u);
  EXPECT_EQ(ReadAll(), frame);
  EXPECT_LT(port.ReceivePasses() - before, frame.size() / 2) << "woken for nearly every byte";
}

}  // namespace
}  // namespace serial
