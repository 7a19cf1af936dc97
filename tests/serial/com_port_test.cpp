// TComPort on real pseudo-terminals: opening, persistence, reads, writes and line settings.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/virtual_window_system.h"
#include "serial/com_port.h"
#include "tests/serial/message_log.h"
#include "tests/serial/pty_fixture.h"

namespace serial {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

long ElapsedMs(Clock::time_point since) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - since).count();
}

class ComPortTest : public ::testing::Test {
 protected:
  ComPortTest() : pty(dir.Add(4)) {
    port.SetErrorBox(
        [this](const std::string&, const std::string& text) { boxes.push_back(text); });
    port.V24.Parameter.Schnittstelle = Com__4;
  }

  void OpenPort() { ASSERT_GT(port.Open(&windows, -1, true), 0); }

  ptytest::PortDir dir;
  ptytest::Pty& pty;
  core::VirtualWindowSystem windows;
  ptytest::MessageLog log{windows};
  TComPort port{TComPort::Inventory::Skip};
  std::vector<std::string> boxes;
};

TEST_F(ComPortTest, OpenTwiceReturnsNullAndKeepsThePortOpen) {
  const PortHandle handle = port.Open(&windows, -1, true);
  ASSERT_GT(handle, 0);
  EXPECT_EQ(port.ComNumber(), 4);
  dir.Add(1);
  EXPECT_EQ(port.Open(&windows, 0, true), kNullHandle);
  EXPECT_EQ(port.ComNumber(), 4);
  EXPECT_EQ(port.Handle(), handle);
  EXPECT_EQ(port.Write("ping", -1, false), 4);
  EXPECT_EQ(pty.Receive(4), "ping");

  port.Close();
  EXPECT_FALSE(port.Opened());
  port.Close();  // no effect when closed
  EXPECT_GT(port.Open(&windows, -1, true), 0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ComPortTest, FailedOpenShowsTheBoxInTheLanguageAndStaysClosed) {
  const PortErrorTexts english{"Error", "Cannot open %1!", "%1: line settings refused (%2)"};
  struct Case {
    PortErrorTexts texts;
    bool showError;
    const char* box;
  } cases[] = {{{}, true, "COM9 konnte nicht geöffnet werden!"},
               {english, true, "Cannot open COM9!"},
               {{}, false, nullptr}};
  for (const Case& c : cases) {
    boxes.clear();
    port.SetErrorTexts(c.texts);
    EXPECT_EQ(port.Open(&windows, 8, c.showError), kInvalidHandle);
    if (c.box) {
      EXPECT_EQ(boxes, std::vector<std::string>{c.box});
    } else {
      EXPECT_TRUE(boxes.empty());
    }
  }
  EXPECT_FALSE(port.Opened());
  char buffer[8];
  EXPECT_EQ(port.Read(buffer, 4), kNotOpen);
  EXPECT_EQ(port.Write("x", 1, false), kNotOpen);
  EXPECT_EQ(port.GetWriteStatus(), 0);
  EXPECT_FALSE(port.ChangeBaudrate(B__9600));
  EXPECT_EQ(boxes.size(), 0u);  // the last case asked for no box; line operations report nothing
}

TEST_F(ComPortTest, PersistedRecordFollowsThePortThatOpened) {
  const std::string file = (dir.Path() / "ComData.cfg").string();
  port.StreamOn = true;
  port.Datei = file;
  port.V24.Parameter.Baudrate = B_19200;
  ASSERT_FALSE(std::filesystem::exists(file));
  ASSERT_GT(port.Open(&windows, 3, true), 0);
  port.Close();

  V24ParameterTag stored{};
  std::ifstream(file, std::ios::binary).read(reinterpret_cast<char*>(&stored), sizeof stored);
  EXPECT_EQ(stored.Schnittstelle, Com__4);
  EXPECT_EQ(stored.Baudrate, B_19200);

  // A fresh object with the file opens the stored port at the stored speed.
  TComPort again{TComPort::Inventory::Skip};
  again.StreamOn = true;
  again.Datei = file;
  ASSERT_GT(again.Open(&windows, -1, true), 0);
  EXPECT_EQ(again.ComNumber(), 4);
  EXPECT_EQ(pty.Speed(), B19200);
}

TEST_F(ComPortTest, ADamagedParameterFileNamingNoPortIsReportedByItsNumber) {
  // 28 zero bytes, then the port index 0x7FFFFFFF.
  const std::string file = (dir.Path() / "ComData.cfg").string();
  std::string bytes(28, '\0');
  bytes += "\xFF\xFF\xFF\x7F";
  std::ofstream(file, std::ios::binary) << bytes;
  port.StreamOn = true;
  port.Datei = file;
  EXPECT_EQ(port.Open(&windows, -1, true), kInvalidHandle);
  EXPECT_EQ(boxes, std::vector<std::string>{"COM2147483648 konnte nicht geöffnet werden!"});
  EXPECT_FALSE(port.Opened());
}

TEST_F(ComPortTest, ReadWithNothingArrivingWaitsCountPlusRxTimeOut) {
  struct Case {
    uint8_t keinString;
    uint8_t firstByte;
  } cases[] = {{0, 0}, {1, 0xEE}};
  for (const Case& c : cases) {
    port.V24.Parameter.RXTimeOut = 50;
    port.V24.Parameter.KeinString = c.keinString;
    OpenPort();
    uint8_t buffer[251];
    std::memset(buffer, 0xEE, sizeof buffer);
    const auto start = Clock::now();
    EXPECT_EQ(port.Read(buffer, 250), 0);
    const long elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, 299);
    EXPECT_LT(elapsed, 1500);
    EXPECT_EQ(buffer[0], c.firstByte);
    EXPECT_EQ(buffer[1], 0xEE);
    port.Close();
  }
}

TEST_F(ComPortTest, ReadEndsAfterTheGapAndDropsNulBytesWhenAsked) {
  struct Case {
    uint8_t keinNull;
    std::string expected;
  } cases[] = {{1, "I.OK\r\n"}, {0, std::string("I.\0OK\r\n", 7)}};
  for (const Case& c : cases) {
    port.V24.Parameter.KeinNullZeichen = c.keinNull;
    OpenPort();
    pty.Send(std::string("I.\0OK\r\n", 7));
    char buffer[251] = {};
    const auto start = Clock::now();
    const int32_t got = port.Read(buffer, 250);
    EXPECT_LT(ElapsedMs(start), 200);  // 20 ms after the last byte, not 250 ms
    ASSERT_EQ(got, static_cast<int32_t>(c.expected.size()));
    EXPECT_EQ(std::string(buffer, got), c.expected);
    EXPECT_EQ(buffer[got], 0);
    port.Close();
  }
}

TEST_F(ComPortTest, MoreThanTheReceiveQueueHoldsArrivesWholeAndInOrder) {
  OpenPort();
  std::string sent(100000, '\0');
  for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>('a' + i % 23);
  std::thread device([&] { pty.Send(sent); });
  std::this_thread::sleep_for(milliseconds(300));  // let the queue fill up unread
  std::string received;
  char buffer[4097];
  while (received.size() < sent.size()) {
    const int32_t got = port.Read(buffer, 4096);
    if (got <= 0) break;
    received.append(buffer, got);
  }
  device.join();
  EXPECT_EQ(received.size(), sent.size());
  EXPECT_TRUE(received == sent);
}

TEST_F(ComPortTest, QolmarFramingWrapsEachWriteInXoffXon) {
  OpenPort();
  ASSERT_TRUE(port.ChangeHandShake(Qolmar_XonXoff));
  EXPECT_EQ(port.Write("A.1000\r\n", -1, false), 10);
  EXPECT_EQ(pty.Receive(10),
            "\x13"
            "A.1000\r\n\x11");
  ASSERT_TRUE(port.ChangeHandShake(NoHandshake));
  EXPECT_EQ(port.Write("A.1000\r\n", -1, false), 8);
  EXPECT_EQ(pty.Receive(8), "A.1000\r\n");
}

TEST_F(ComPortTest, WritesBeyondTheTransmitBufferAreRefusedWhole) {
  OpenPort();
  struct Case {
    HandshakeTag handshake;
    int32_t length;
    bool async;
    int32_t result;
  } cases[] = {
      {NoHandshake, 32768, false, 32768},
      {NoHandshake, 32769, false, kWriteRefused},
      {Qolmar_XonXoff, 32765, false, 32767},
      {Qolmar_XonXoff, 32766, false, kWriteRefused},
      {NoHandshake, 40000, true, kWriteRefused},
      {NoHandshake, -5, false, kWriteRefused},
      {NoHandshake, 0, false, 0},
      {NoHandshake, 0, true, 0},
  };
  const std::string data(40000, 'd');
  for (const Case& c : cases) {
    port.ChangeHandShake(c.handshake);
    const size_t expected = c.result > 0 ? static_cast<size_t>(c.result) : 0;
    std::string received;
    std::thread device([&] { received = pty.Receive(expected + 1, 150); });
    EXPECT_EQ(port.Write(data.data(), c.length, c.async), c.result) << c.length;
    device.join();
    EXPECT_EQ(received.size(), expected) << c.length;
  }
  // A text without a NUL within the buffer is refused, not read on past it.
  EXPECT_EQ(port.Write(data.c_str(), -1, false), kWriteRefused);
}

TEST_F(ComPortTest, BusyTransmitterAndPendingTransmitError) {
  pty.OpenSide();
  port.V24.Parameter.TXTimeOut = 100;
  OpenPort();
  pty.FillMasterBuffer();

  EXPECT_EQ(port.Write("x", 1, true), 1);
  EXPECT_EQ(port.Write("y", 1, false), kTransmitterBusy);
  // The asynchronous write times out and leaves a transmit error.
  int32_t result = kTransmitterBusy;
  for (int i = 0; i < 100 && result == kTransmitterBusy; ++i) {
    std::this_thread::sleep_for(milliseconds(20));
    result = port.Write("y", 1, false);
  }
  EXPECT_EQ(result, kTransmitError);

  ASSERT_EQ(port.GetWriteStatus(), 1);
  const auto start = Clock::now();
  EXPECT_EQ(port.Write("z", 1, false), kTransmitError);  // times out
  EXPECT_GE(ElapsedMs(start), 100);
  EXPECT_EQ(port.Write("z", 1, false), kTransmitError);  // refused at once, nothing sent

  pty.Drain();
  EXPECT_EQ(port.GetWriteStatus(), 1);
  EXPECT_EQ(port.Write("ok", 2, false), 2);
  EXPECT_EQ(pty.Receive(2), "ok");
}

TEST_F(ComPortTest, LineOperationsChangeTheLineNotTheRecord) {
  const speed_t fresh = pty.Speed();
  OpenPort();
  EXPECT_EQ(pty.Speed(), B4800);

  port.LoadLastV24Parameter();  // nothing saved yet: nothing happens
  EXPECT_EQ(pty.Speed(), B4800);

  // Even parity is not held by a pty; that is no failure there.
  EXPECT_TRUE(port.ChangeV24Parameter(B__9600, S_2, Even, true));
  termios line = pty.LineSettings();
  EXPECT_EQ(cfgetospeed(&line), B9600);
  EXPECT_TRUE(line.c_cflag & CSTOPB);
  EXPECT_EQ(port.LoadV24Parameter().Parity, 2);
  // When nothing but parity changes, glibc reports the pty's dropped parity bit as EINVAL.
  EXPECT_TRUE(port.ChangeV24Parameter(B__9600, S_2, Even, true));

  port.SaveLastV24Parameter();
  EXPECT_TRUE(port.ChangeBaudrate(B_38400));
  EXPECT_EQ(pty.Speed(), B38400);
  port.LoadLastV24Parameter();
  EXPECT_EQ(pty.Speed(), B9600);

  EXPECT_TRUE(port.ChangeBaudrate(Baud115200));
  EXPECT_EQ(port.V24.Parameter.Baudrate, B__4800);
  port.Close();
  EXPECT_EQ(pty.Speed(), fresh);  // the line as it was found
  OpenPort();
  EXPECT_EQ(pty.Speed(), B4800);  // the record's speed again
  EXPECT_FALSE(port.ChangeBaudrate(static_cast<BaudTag>(42)));
  EXPECT_EQ(pty.Speed(), B4800);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ComPortTest, AutoSearchTriesEveryPortOfTheInventory) {
  dir.Add(2);
  port.Check_AllV24();  // COM2, COM4
  port.AutoSearch = true;
  ASSERT_GT(port.Open(&windows, 3, true), 0);
  EXPECT_EQ(port.ComNumber(), 2);  // COM1 is absent; the first inventory entry opens
  EXPECT_EQ(port.V24.Parameter.Schnittstelle, Com__2);
}

}  // namespace
}  // namespace serial
