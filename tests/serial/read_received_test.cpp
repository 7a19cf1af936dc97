// The read after a receive notification: it takes what has arrived without waiting, and what it
// leaves is announced again, so no reply waits for the next arrival.
#include <gtest/gtest.h>

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

class ReadReceivedTest : public ::testing::Test {
 protected:
  ReadReceivedTest() : pty(dir.Add(2)) {
    port.V24.Parameter.Schnittstelle = Com__2;
    port.V24.Parameter.RXTimeOut = 3000;  // a waiting read would be noticed
  }
  void SetUp() override { ASSERT_GT(port.Open(&windows, -1, true), 0); }

  ptytest::PortDir dir;
  ptytest::Pty& pty;
  core::VirtualWindowSystem windows;
  ptytest::MessageLog log{windows};
  TComPort port{TComPort::Inventory::Skip};
};

TEST_F(ReadReceivedTest, NothingArrivedReturnsAtOnce) {
  char buffer[300];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port.ReadReceived(buffer, 250), 0);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(1000));
}

TEST_F(ReadReceivedTest, WhatAReadLeavesIsAnnouncedAgain) {
  pty.Send("abcdef");
  ASSERT_TRUE(log.WaitFor(1, 2000));
  std::this_thread::sleep_for(milliseconds(100));  // every byte is queued
  char buffer[8];
  ASSERT_EQ(port.ReadReceived(buffer, 2), 2);
  EXPECT_STREQ(buffer, "ab");
  ASSERT_TRUE(log.WaitFor(2, 1000)) << "the rest was not announced";
  EXPECT_EQ(log.seen[1], std::make_pair(serial::WM_V24_RECEIVED, uintptr_t{2}));
  ASSERT_EQ(port.ReadReceived(buffer, 7), 4);
  EXPECT_STREQ(buffer, "cdef");
  EXPECT_FALSE(log.WaitFor(3, 300)) << "nothing is left to announce";
}

}  // namespace
}  // namespace serial
