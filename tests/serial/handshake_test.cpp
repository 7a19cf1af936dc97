// Flow control and speed on a pseudo-terminal: what the Basic-Loader terminal asks of the line.
#include <gtest/gtest.h>
#include <termios.h>

#include <string>
#include <vector>

#include "core/virtual_window_system.h"
#include "serial/com_port.h"
#include "tests/serial/pty_fixture.h"

namespace serial {
namespace {

TEST(HandshakeOnPty, RtsCtsAndSpeedAreAppliedAndUndone) {
  ptytest::PortDir dir;
  ptytest::Pty& pty = dir.Add(5);
  core::VirtualWindowSystem windows;
  std::vector<std::string> boxes;
  TComPort port{TComPort::Inventory::Skip};
  port.SetErrorBox([&](const std::string&, const std::string& text) { boxes.push_back(text); });
  port.V24.Parameter.Schnittstelle = Com__5;
  ASSERT_GT(port.Open(&windows, -1, true), 0);
  const LineConfig before = port.LoadV24Parameter();

  // A pty has no modem lines; the setting is no failure there.
  EXPECT_TRUE(port.ChangeHandShake(RTS_CTS));
  EXPECT_TRUE(port.ChangeBaudrate(B_19200));
  EXPECT_EQ(port.ActiveHandshake(), RTS_CTS);
  termios line = pty.LineSettings();
  EXPECT_EQ(cfgetospeed(&line), B19200);
  EXPECT_TRUE(line.c_cflag & CRTSCTS);

  // The bytes still flow (a pty's CTS never stops them).
  EXPECT_EQ(port.Write("S9030000FC\r\n", -1, false), 12);
  EXPECT_EQ(pty.Receive(12), "S9030000FC\r\n");

  EXPECT_TRUE(port.ChangeHandShake(NoHandshake));
  EXPECT_TRUE(port.SaveV24Parameter(&before));
  line = pty.LineSettings();
  EXPECT_FALSE(line.c_cflag & CRTSCTS);
  EXPECT_EQ(cfgetospeed(&line), B4800);
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace serial
