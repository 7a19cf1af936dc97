// The port inventory over a folder of pty links: usable, present but busy, absent.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "serial/com_port.h"
#include "tests/serial/pty_fixture.h"

namespace serial {
namespace {

// Another process that holds a device locked until the test ends.
class LockHolder {
 public:
  explicit LockHolder(const std::string& path) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      const char ok = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0;
      [[maybe_unused]] ssize_t w = write(ready[1], &ok, 1);
      for (;;) pause();
    }
    close(ready[1]);
    char ok = 0;
    locked_ = read(ready[0], &ok, 1) == 1 && ok == 1;
    close(ready[0]);
  }
  ~LockHolder() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool Locked() const { return locked_; }

 private:
  pid_t pid_ = -1;
  bool locked_ = false;
};

std::vector<int32_t> List(const std::array<int32_t, kMaxPorts + 1>& list, int count) {
  return {list.begin(), list.begin() + count};
}

TEST(PortInventory, ListsUsableBusyAndAbsentPorts) {
  ptytest::PortDir dir;
  dir.Add(1);
  dir.Add(3);
  dir.Add(7);
  ptytest::Pty& held = dir.Add(5);
  dir.Link("COM9", (dir.Path() / "missing").string());
  std::ofstream(dir.Path() / "plain-file") << "not a terminal";
  dir.Link("COM10", (dir.Path() / "plain-file").string());
  ptytest::Pty& stray = dir.Add(11);
  dir.Link("COM0", stray.SlavePath());
  dir.Link("COM257", stray.SlavePath());
  dir.Link("ttyUSB0", stray.SlavePath());
  LockHolder holder(held.SlavePath());
  ASSERT_TRUE(holder.Locked());

  TComPort port;
  EXPECT_EQ(List(port.PortList().DeviceList, port.GetMaxV24Devices()),
            (std::vector<int32_t>{0, 2, 4, 6, 10}));
  EXPECT_EQ(List(port.PortList().UseableList, port.GetMaxV24Useable()),
            (std::vector<int32_t>{0, 2, 6, 10}));
  EXPECT_EQ(port.Get_UseableV24(1), 2);
  EXPECT_EQ(port.Get_DeviceV24(2), 4);
  for (int outside : {-1, 4, 300}) EXPECT_EQ(port.Get_UseableV24(outside), 0) << outside;
}

TEST(PortInventory, APortThisProcessHoldsOpenIsPresentButNotUsable) {
  ptytest::PortDir dir;
  dir.Add(1);
  dir.Add(3);
  TComPort first(TComPort::Inventory::Skip);
  ASSERT_GT(first.Open(nullptr, 2, false), 0);

  TComPort second;
  EXPECT_EQ(second.GetMaxV24Devices(), 2);
  EXPECT_EQ(second.GetMaxV24Useable(), 1);
  EXPECT_EQ(second.Get_UseableV24(0), 0);
  EXPECT_EQ(second.Open(nullptr, 2, false), kInvalidHandle);

  first.Close();
  second.Check_AllV24();
  EXPECT_EQ(second.GetMaxV24Useable(), 2);
}

}  // namespace
}  // namespace serial
