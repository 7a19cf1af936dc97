// Direct receive on the window's window system: a socket notifier on the line's descriptor takes
// the arrivals in the Qt event loop, so an answer is announced without a post from another
// thread, and a frame at the line's pace is taken in few passes.
#include <gtest/gtest.h>
#include <QCoreApplication>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serial/com_port.h"
#include "serial/window_messages.h"
#include "shell/qt_window_system.h"
#include "tests/serial/pty_fixture.h"

namespace shell {
namespace {

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "updater-test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  return *app;
}

// Notes whether a message was posted from another thread than the test's.
class PosterLog : public QtWindowSystem {
 public:
  void PostMessage(uint32_t message, uintptr_t wParam) override {
    {
      std::lock_guard lock(mutex_);
      foreign_ += std::this_thread::get_id() != window_;
    }
    QtWindowSystem::PostMessage(message, wParam);
  }
  size_t Foreign() const {
    std::lock_guard lock(mutex_);
    return foreign_;
  }

 private:
  const std::thread::id window_ = std::this_thread::get_id();
  mutable std::mutex mutex_;
  size_t foreign_ = 0;
};

class QtDirectReceiveTest : public ::testing::Test {
 protected:
  QtDirectReceiveTest() : pty(dir.Add(2)) {
    App();
    port.V24.Parameter.Schnittstelle = serial::Com__2;
    windows.SetMessageHandler([this](uint32_t message, uintptr_t) {
      if (message == serial::WM_V24_RECEIVED) ++announced;
    });
  }
  void SetUp() override { ASSERT_GT(port.Open(&windows, -1, true), 0); }

  bool WaitAnnounced(int count, int ms) {
    const uint32_t end = windows.TickCount() + static_cast<uint32_t>(ms);
    while (announced < count && static_cast<int32_t>(windows.TickCount() - end) < 0) {
      windows.WaitMessages(end);
    }
    return announced >= count;
  }
  std::string ReadAll() {
    char buffer[256];
    const int32_t n = port.ReadReceived(buffer, 200);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
  }

  ptytest::PortDir dir;
  ptytest::Pty& pty;
  PosterLog windows;
  int announced = 0;
  serial::TComPort port{serial::TComPort::Inventory::Skip};
};

TEST_F(QtDirectReceiveTest, AnAnswerIsAnnouncedFromTheEventLoopItself) {
  ASSERT_TRUE(port.BeginDirectReceive());
  pty.Send("abc");
  ASSERT_TRUE(WaitAnnounced(1, 3000));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ReadAll() + ReadAll(), "abc");
  EXPECT_EQ(windows.Foreign(), 0u) << "the receive thread posted";
  EXPECT_EQ(port.ReceivePasses(), port.DirectReceivePasses());
  port.EndDirectReceive();
}

TEST_F(QtDirectReceiveTest, AFrameAtWirePaceIsTakenInFewPasses) {
  ASSERT_TRUE(port.ChangeBaudrate(serial::B__9600));
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
  EXPECT_EQ(ReadAll(), frame);
  EXPECT_LT(port.DirectReceivePasses(), frame.size() / 2) << "woken for nearly every byte";
  port.EndDirectReceive();
}

}  // namespace
}  // namespace shell
