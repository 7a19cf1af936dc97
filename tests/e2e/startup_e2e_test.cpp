// What a technician meets when a run cannot start: no package, no serial port, the port
// Update.ini fixes missing. Each is said at once, in the run's language, with the fix, and ends
// with the start-up exit code: update-cli as a process, the window in this process.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "shell/qt_window_system.h"
#include "shell/startup.h"
#include "shell/update_form.h"
#include "tests/e2e/cli_process.h"
#include "tests/serial/pty_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_folder.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

struct StartCase {
  const char* what;
  bool package;            // Update.ini and ProgDevice.ini are there
  std::string com;         // the value of Com= in Update.ini
  std::string baud;        // the value of Baud= in Update.ini
  std::vector<int> ports;  // COM numbers of the port folder (silent ptys)
  const char* german;
  const char* english;
};

// clang-format off
const StartCase kCases[] = {
    {"no package", false, "", "2,3", {1},
     "Die Datei Update.ini fehlt", "The file Update.ini is missing"},
    {"no port", true, "", "2,3", {},
     "Das Programm findet keine serielle Schnittstelle", "The program finds no serial port"},
    {"missing Com= port", true, "5", "2,3", {1},
     "mit der Zeile Com=5 die Schnittstelle COM5", "fixes the port COM5"},
    // The line is named at once, before anything else is said.
    {"bad Baud=", true, "", "fast", {},
     "Update.ini, Zeile 4: kein nutzbarer Baud-Eintrag", "Update.ini, line 4: no usable Baud entry"},
};
// clang-format on

// A package in language whose Update.ini has the case's Com= and Baud= lines.
void WriteStartPackage(const fs::path& folder, int language, const StartCase& c) {
  WritePackage(folder, "1.30");
  std::ofstream(folder / "Update.ini", std::ios::binary)
      << "[Update]\r\nLanguage=" << language << "\r\nVersion=1.00\r\nBaud=" << c.baud
      << "\r\nCom=" << c.com << "\r\n";
}

TEST(StartUp, UpdateCliSaysAtOnceWhatStopsARun) {
  for (const StartCase& c : kCases) {
    for (int language : {0, 1}) {
      SCOPED_TRACE(std::string(c.what) + (language == 0 ? " (German)" : " (English)"));
      ptytest::PortDir ports;
      for (int number : c.ports) ports.Add(number);
      test::TempFolder package;
      if (c.package) {
        WriteStartPackage(package.Path(), language, c);
      } else {
        fs::create_symlink(UPDATE_CLI_PATH, package.Path() / "update-cli");
      }
      // Without a package the desktop's language is the run's.
      const CliResult run = RunCli(package.Path(), ports.Path(), {}, 30,
                                   {language == 0 ? "LANG=de_DE.UTF-8" : "LANG=en_GB.UTF-8"});
      EXPECT_EQ(run.exitCode, 2) << run.output;
      EXPECT_THAT(run.output, HasSubstr(language == 0 ? c.german : c.english));
      EXPECT_THAT(run.output, Not(HasSubstr("[status 0]")));  // no port was opened
    }
  }
}

// The window opens on a package whose run cannot start and says why in its log; OK says it
// again at once in an error box (logged to standard error by the automatic answer), and the
// automatic run ends with the start-up code.
TEST(StartUp, TheWindowSaysAtOnceWhatStopsARun) {
  test::App();
  const fs::path previous = fs::current_path();
  for (const StartCase& c : kCases) {
    if (!c.package) continue;  // the window's own start (a folder dialog) is tested apart
    for (int language : {0, 1}) {
      SCOPED_TRACE(std::string(c.what) + (language == 0 ? " (German)" : " (English)"));
      ptytest::PortDir ports;
      for (int number : c.ports) ports.Add(number);
      test::TempFolder package;
      WriteStartPackage(package.Path(), language, c);
      fs::current_path(package.Path());
      setenv("UPDATE_PORT_DIR", ports.Path().c_str(), 1);
      setenv("UPDATE_AUTO_ANSWER", "yes", 1);
      std::optional<shell::FormOptions> options =
          shell::ReadStartupFiles(package.Path(), package.Path());
      ASSERT_TRUE(options.has_value());
      ::testing::internal::CaptureStderr();
      {
        shell::QtWindowSystem windows;
        shell::TUpdateForm form(windows, std::move(*options));
        form.show();
        const std::string text = language == 0 ? c.german : c.english;
        EXPECT_THAT(form.UpdateMemo->toPlainText().toStdString(), HasSubstr(text));
        QTimer::singleShot(0, &form, [&form] { form.StartAutoRun(); });
        QTimer::singleShot(20000, &form, [] { QCoreApplication::exit(7); });  // a search
        EXPECT_EQ(QCoreApplication::exec(), shell::kStartupFailed);
        form.close();
      }
      const std::string boxes = ::testing::internal::GetCapturedStderr();
      EXPECT_THAT(boxes, HasSubstr(language == 0 ? "[Fehler]" : "[Error]"));
      unsetenv("UPDATE_AUTO_ANSWER");
      unsetenv("UPDATE_PORT_DIR");
      fs::current_path(previous);
    }
  }
}

}  // namespace
}  // namespace e2e
