// The main window with its ports on pty fixtures: the ports opened at start-up and shown in
// status panel 0, the window-message bridge, and the ports closed when the window closes.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <chrono>
#include <cstdlib>
#include <functional>

#include "core/event_codes.h"
#include "serial/window_messages.h"
#include "shell/qt_window_system.h"
#include "shell/update_form.h"
#include "tests/serial/pty_fixture.h"
#include "tests/support/qt_app.h"
#include "update/event_codes.h"

namespace shell {
namespace {

struct Recorder {
  core::EventRecord Handle(core::EventQueue&, core::EventRecord record) {
    if (record.kind == core::EVK_EVENT) seen.push_back(record);
    return record;
  }
  std::vector<core::EventRecord> seen;
};

class FormPortsTest : public ::testing::Test {
 protected:
  FormPortsTest() { test::App(); }

  FormOptions Options() {
    FormOptions options;
    options.programFolder = dir.Path();
    options.workingFolder = dir.Path();
    return options;
  }
  // Runs the window's message loop until done or ms passed.
  bool RunUntil(const std::function<bool()>& done, int ms = 3000) {
    const uint32_t end = windows.TickCount() + static_cast<uint32_t>(ms);
    while (!done() && !core::TickReached(windows.TickCount(), end)) {
      windows.WaitMessages(windows.TickCount() + 50);
    }
    return done();
  }

  ptytest::PortDir dir;
  QtWindowSystem windows;
};

TEST_F(FormPortsTest, OpensTheUsablePortsAndBridgesTheirMessages) {
  for (int n : {1, 3, 4}) dir.Add(n);
  TUpdateForm form(windows, Options());
  EXPECT_EQ(form.StatusPanels[0]->text().toStdString(), "[Com1] [3] [4]");
  Recorder recorder;
  form.Events().queue.AddHandler(core::MakeHandler<&Recorder::Handle>(&recorder));

  dir[3].Send("!\r\n");
  ASSERT_TRUE(RunUntil([&] { return !recorder.seen.empty(); }));
  EXPECT_EQ(recorder.seen[0].code, update::ev::kReceived);
  EXPECT_EQ(recorder.seen[0].Port(), 3);

  // A line error drops what waits on that port and reaches the engine.
  dir[4].Send("garbage");
  windows.PostMessage(serial::WM_V24_ERROR, 4);
  ASSERT_TRUE(RunUntil([&] { return form.Engine().State().LineErrorSeen; }));
  char buffer[300];
  EXPECT_EQ(form.Ports().Entry(2)->Read(buffer, 250), 0);

  form.show();
  form.close();
  EXPECT_FALSE(form.StopPanel->isHidden());
  EXPECT_EQ(form.Ports().Entry(0), nullptr);
  EXPECT_FALSE(form.Ports().UpdateCom().Opened());
}

TEST_F(FormPortsTest, AFixedPortIsTheOnlyPortOpened) {
  for (int n : {1, 3, 4}) dir.Add(n);
  FormOptions options = Options();
  options.settings.ComGiven = 1;
  options.settings.ComIndex = 2;
  TUpdateForm form(windows, options);
  EXPECT_EQ(form.StatusPanels[0]->text().toStdString(), "Com3 " + dir[3].SlavePath());
  EXPECT_EQ(form.Ports().PortCount, 1);
  serial::TComPort other(serial::TComPort::Inventory::Skip);
  EXPECT_GT(other.Open(nullptr, 0, false), 0);  // COM1 was left alone
}

// No port at start: the window says so in its log at once, without a box or a port panel, and
// OK looks again instead of searching: still none gives the box, a port plugged in meanwhile
// is opened.
TEST_F(FormPortsTest, WithoutAPortTheWindowSaysSoAndOkLooksAgain) {
  setenv("UPDATE_AUTO_ANSWER", "yes", 1);  // the box answers itself and is logged to stderr
  ::testing::internal::CaptureStderr();
  TUpdateForm form(windows, Options());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(form.StatusPanels[0]->text().toStdString(), "");
  EXPECT_NE(form.UpdateMemo->toPlainText().toStdString().find("keine serielle Schnittstelle"),
            std::string::npos);

  ::testing::internal::CaptureStderr();
  form.OkBitBtnClick();
  const std::string box = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(box.find("[Fehler] Das Programm findet keine serielle Schnittstelle"),
            std::string::npos)
      << box;
  EXPECT_EQ(form.Ports().PortCount, 0);

  dir.Add(2);
  ::testing::internal::CaptureStderr();
  form.OkBitBtnClick();
  const std::string afterPlugging = ::testing::internal::GetCapturedStderr();
  unsetenv("UPDATE_AUTO_ANSWER");
  EXPECT_EQ(afterPlugging.find("serielle Schnittstelle"), std::string::npos) << afterPlugging;
  EXPECT_EQ(form.StatusPanels[0]->text().toStdString(), "[Com2]");
  EXPECT_EQ(form.Ports().PortCount, 1);
  form.close();
}

}  // namespace
}  // namespace shell
