// Start-up of the real program in a package folder, as a child process: the boxes answer
// themselves (UPDATE_AUTO_ANSWER) and the window, once shown, saves a screenshot and ends
// (UPDATE_SCREENSHOT), so no person is needed and a shown window leaves a file behind.
#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>

#include "tests/serial/pty_fixture.h"
#include "tests/support/package_files.h"
#include "tests/support/qt_app.h"

namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  int exitCode = -1;
  QString errors;
  bool windowShown = false;
};

ProgramRun StartIn(const test::TempFolder& folder) {
  // No serial port of this machine: one pty is COM1.
  const fs::path ports = folder.Path() / "ports";
  fs::create_directories(ports);
  ptytest::Pty pty;
  fs::create_symlink(pty.SlavePath(), ports / "COM1");
  const fs::path shot = folder.Path() / "shown.png";
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("UPDATE_AUTO_ANSWER", "yes");
  environment.insert("UPDATE_SCREENSHOT", QString::fromStdString(shot.string()));
  environment.insert("UPDATE_PORT_DIR", QString::fromStdString(ports.string()));
  environment.remove("ProgramFiles");
  environment.remove("PUBLIC");
  QProcess process;
  process.setProcessEnvironment(environment);
  process.setWorkingDirectory(QString::fromStdString(folder.Path().string()));
  process.start(QStringLiteral(UPDATER_BUILD_DIR "/shell/update"), {});
  ProgramRun run;
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    ADD_FAILURE() << "the program did not end";
    return run;
  }
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.errors = QString::fromUtf8(process.readAllStandardError());
  run.windowShown = fs::exists(shot);
  return run;
}

TEST(StartUp, PackageFilesDecideWhetherTheWindowOpens) {
  test::App();
  const std::string kUpdateIni = "Language=0\r\nVersion=1.00\r\n";
  const std::string kDeviceIni = test::DeviceSection() + "\r\n" + test::TextSection("Start", "S");
  struct Case {
    const char* what;
    bool updateIni;
    bool deviceIni;
    bool updateIniIsFolder;
    const char* box;  // the box text, or nullptr when the window opens
  };
  const Case cases[] = {
      {"no Update.ini", false, true, false,
       "[Error] Konfigurationsdatei 1 nicht vorhanden!!Programm wird beendet -> OK"},
      {"Update.ini unreadable", false, true, true,
       "[Error] Konfigurationsdatei 1 nicht vorhanden!!Programm wird beendet -> OK"},
      {"no ProgDevice.ini", true, false, false,
       "[Error] Konfigurationsdatei 2 nicht vorhanden!!Programm wird beendet -> OK"},
      {"both files", true, true, false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempFolder folder;
    if (c.updateIni) test::WritePackageFile(folder, "Update.ini", kUpdateIni);
    if (c.updateIniIsFolder) fs::create_directory(folder.Path() / "Update.ini");
    if (c.deviceIni) test::WritePackageFile(folder, "ProgDevice.ini", kDeviceIni);
    const ProgramRun run = StartIn(folder);
    if (c.box) {
      EXPECT_NE(run.exitCode, 0);
      EXPECT_TRUE(run.errors.contains(QString::fromUtf8(c.box))) << run.errors.toStdString();
      EXPECT_FALSE(run.windowShown);
    } else {
      EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
      EXPECT_FALSE(run.errors.contains("message box")) << run.errors.toStdString();
      EXPECT_TRUE(run.windowShown);
    }
  }
}

}  // namespace
