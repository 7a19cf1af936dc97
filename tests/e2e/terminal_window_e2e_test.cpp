// The real window, offscreen, programming an instrument's secondary processor through the
// Basic-Loader terminal: OK clicked once, the run ends with the success text and the simulator's
// flash holds the S-record file of the instrument's variant.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "shell/qt_window_system.h"
#include "shell/startup.h"
#include "shell/update_form.h"
#include "tests/e2e/terminal_package.h"
#include "tests/sim/sim_process.h"
#include "tests/sim/ti_txt.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_folder.h"

namespace e2e {
namespace {

TEST(TerminalWindowEndToEnd, OkProgramsTheSecondaryProcessor) {
  test::App();
  simtest::SimProcess sim(
      "[identity]\nversion = 1.30,2.05\nvariant = 0\n"
      "[protocol]\nafter_program = 31\nrestart_prompt_ms = 300\n"
      "[bootloader]\ntarget = basic\nflash_banks = 2\n",
      {"--com", "3", "--silent-ports", "1,2", "--dump", "flash.txt"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  test::TempFolder package;
  const TermFiles files = WriteTerminalPackage(package.Path(), true, UPDATE_CLI_PATH);

  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(package.Path());
  setenv("UPDATE_PORT_DIR", sim.Folder().c_str(), 1);
  setenv("UPDATE_TIME_SCALE", "10", 1);
  {
    std::optional<shell::FormOptions> options =
        shell::ReadStartupFiles(package.Path(), package.Path());
    ASSERT_TRUE(options.has_value());
    shell::QtWindowSystem windows;
    shell::TUpdateForm form(windows, std::move(*options));
    form.show();
    QTest::mouseClick(form.OkBitBtn, Qt::LeftButton);
    const auto done = [&] {
      const QString log = form.UpdateMemo->toPlainText();
      return log.contains("Download erfolgreich") || log.contains("abgebrochen");
    };
    const uint32_t end = windows.TickCount() + 60000;
    while (!done() && !core::TickReached(windows.TickCount(), end)) {
      windows.WaitMessages(windows.TickCount() + 100);
    }
    const std::string log = form.UpdateMemo->toPlainText().toStdString();
    EXPECT_THAT(log, ::testing::HasSubstr("Programm erfolgreich überspielt !")) << log;
    EXPECT_THAT(log, ::testing::HasSubstr("Download erfolgreich ausgeführt !")) << log;
    EXPECT_FALSE(form.OkBitBtn->isEnabled());
    const std::filesystem::path artefacts = std::filesystem::path(UPDATER_BUILD_DIR) / "artefacts";
    std::filesystem::create_directories(artefacts);
    form.grab().save(
        QString::fromStdString((artefacts / "update-window-after-terminal.png").string()));
    form.close();
  }
  unsetenv("UPDATE_TIME_SCALE");
  unsetenv("UPDATE_PORT_DIR");
  std::filesystem::current_path(previous);

  sim.Stop(SIGTERM);
  std::map<uint32_t, uint8_t> flash;
  ASSERT_TRUE(simtest::ParseTiTxt(simtest::ReadFile(sim.File("flash.txt")), flash));
  ExpectFlashIs(flash, files.high);
}

}  // namespace
}  // namespace e2e
