// What the owner window hears from an open port: the data notification with at most one
// outstanding, its watchdog (on the virtual clock), and the loss of the device.
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

class NotifyTest : public ::testing::Test {
 protected:
  NotifyTest() : pty(dir.Add(2)) {
    port.V24.Parameter.Schnittstelle = Com__2;
    port.V24.Parameter.TXTimeOut = 200;
  }
  void SetUp() override { ASSERT_GT(port.Open(&windows, -1, true), 0); }

  // One arrival: a byte the reader takes in a pass of its own.
  void Arrive() {
    pty.Send("x");
    std::this_thread::sleep_for(milliseconds(100));
  }
  void ReadAll() {
    char buffer[300];
    port.Read(buffer, 250);
  }

  ptytest::PortDir dir;
  ptytest::Pty& pty;
  core::VirtualWindowSystem windows;
  ptytest::MessageLog log{windows};
  TComPort port{TComPort::Inventory::Skip};
};

TEST_F(NotifyTest, OneNotificationOutstandingUntilTheOwnerReads) {
  Arrive();
  ASSERT_TRUE(log.WaitFor(1, 2000));
  EXPECT_EQ(log.seen[0], std::make_pair(serial::WM_V24_RECEIVED, uintptr_t{2}));
  EXPECT_TRUE(port.Aktiv());

  Arrive();
  EXPECT_FALSE(log.WaitFor(2, 300));

  ReadAll();
  EXPECT_FALSE(port.Aktiv());
  Arrive();
  ASSERT_TRUE(log.WaitFor(2, 2000));

  port.Reset_SetAktiv();  // re-armed although nothing was read
  Arrive();
  ASSERT_TRUE(log.WaitFor(3, 2000));
  EXPECT_EQ(log.Count(serial::WM_V24_RECEIVED), 3u);
}

TEST_F(NotifyTest, WatchdogAnnouncesASecondUnreadArrivalAfterFiveSeconds) {
  Arrive();
  ASSERT_TRUE(log.WaitFor(1, 2000));
  Arrive();
  Arrive();  // the second further arrival starts the watchdog
  windows.Advance(4900);
  EXPECT_FALSE(log.WaitFor(2, 2200));
  windows.Advance(200);
  EXPECT_TRUE(log.WaitFor(2, 2500));
  EXPECT_EQ(log.Count(serial::WM_V24_RECEIVED), 2u);
}

TEST_F(NotifyTest, ASingleUnreadArrivalIsNotAnnouncedAgain) {
  Arrive();
  ASSERT_TRUE(log.WaitFor(1, 2000));
  Arrive();
  windows.Advance(10000);
  EXPECT_FALSE(log.WaitFor(2, 2200));
}

TEST_F(NotifyTest, ALostDeviceIsReportedOnceAndWritesFail) {
  pty.Send("abc");
  ASSERT_TRUE(log.WaitFor(1, 2000));
  pty.CloseMaster();
  ASSERT_TRUE(log.WaitFor(2, 2000));
  EXPECT_EQ(log.seen[1], std::make_pair(serial::WM_V24_ERROR, uintptr_t{2}));

  // Neither spinning nor repeating itself on the hang-up.
  const auto cpuBefore = ptytest::ProcessCpuTime();
  EXPECT_FALSE(log.WaitFor(3, 500));
  EXPECT_LT(ptytest::ProcessCpuTime() - cpuBefore, milliseconds(100));
  EXPECT_TRUE(port.DeviceLost());

  // What came before the loss is still there; then reads end at once.
  char buffer[251];
  EXPECT_EQ(port.Read(buffer, 250), 3);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port.Read(buffer, 250), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(100));

  EXPECT_EQ(port.Write("A.2000\r\n", -1, false), kTransmitError);
  EXPECT_EQ(port.GetWriteStatus(), 1);
  EXPECT_EQ(port.Write("A.2000\r\n", -1, false), kTransmitError);
  port.Close();
  EXPECT_FALSE(port.Opened());
}

}  // namespace
}  // namespace serial
