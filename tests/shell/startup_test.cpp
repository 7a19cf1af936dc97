// Start-up of the real program in a package folder, as a child process: the boxes answer
// themselves (UPDATE_AUTO_ANSWER) and the window, once shown, saves a screenshot and ends
// (UPDATE_SCREENSHOT), so no person is needed and a shown window leaves a file behind.
#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>

#include <QProcess>
#include <filesystem>

#include "tests/support/package_files.h"
#include "tests/support/qt_app.h"

namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  int exitCode = -1;
  QString errors;
  bool windowShown = false;
};

ProgramRun StartIn(const test::TempFolder& folder, const QStringList& arguments = {}) {
  // No serial port of this machine: one pseudo-terminal as COM1.
  const fs::path ports = folder.Path() / "ports";
  fs::create_directories(ports);
  int master = -1, slave = -1;
  char name[128] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) ADD_FAILURE() << "no pty";
  fs::create_symlink(name, ports / "COM1");
  const fs::path shot = folder.Path() / "shown.png";
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("UPDATE_AUTO_ANSWER", "yes");
  environment.insert("UPDATE_SCREENSHOT", QString::fromStdString(shot.string()));
  environment.insert("UPDATE_PORT_DIR", QString::fromStdString(ports.string()));
  environment.remove("ProgramFiles");
  environment.remove("PUBLIC");
  // Before Update.ini is read, the boxes speak the desktop's language.
  environment.remove("LC_ALL");
  environment.remove("LC_MESSAGES");
  environment.insert("LANG", "de_DE.UTF-8");
  QProcess process;
  process.setProcessEnvironment(environment);
  process.setWorkingDirectory(QString::fromStdString(folder.Path().string()));
  process.start(QStringLiteral(UPDATER_BUILD_DIR "/shell/update"), arguments);
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
  close(slave);
  close(master);
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
    const char* box;  // the box text up to the folder, or nullptr when the window opens
  };
  // The boxes name the missing file and the folder searched.
  const Case cases[] = {
      {"no Update.ini", false, true, false, "[Fehler] Die Datei Update.ini fehlt; gesucht in: "},
      {"Update.ini unreadable", false, true, true,
       "[Fehler] Die Datei Update.ini fehlt; gesucht in: "},
      {"no ProgDevice.ini", true, false, false,
       "[Fehler] Die Datei ProgDevice.ini fehlt; gesucht in: "},
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
      const QString box = QString::fromUtf8(c.box) + QString::fromStdString(folder.Path().string());
      EXPECT_TRUE(run.errors.contains(box)) << run.errors.toStdString();
      EXPECT_FALSE(run.windowShown);
    } else {
      EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
      EXPECT_FALSE(run.errors.contains("message box")) << run.errors.toStdString();
      EXPECT_TRUE(run.windowShown);
    }
  }
}

TEST(StartUp, PackageOptionNamesThePackageFolder) {
  test::App();
  test::TempFolder package;
  test::WritePackageFile(package, "Update.ini", "Language=1\r\nVersion=1.00\r\n");
  test::WritePackageFile(package, "ProgDevice.ini",
                         test::DeviceSection() + "\r\n" + test::TextSection("Start", "S"));
  // Started in an empty folder, the window opens on the package named.
  test::TempFolder elsewhere;
  const ProgramRun run =
      StartIn(elsewhere, {"--package", QString::fromStdString(package.Path().string())});
  EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
  EXPECT_TRUE(run.windowShown);
  // A folder that is none ends the program with a box that says so.
  test::TempFolder another;
  const ProgramRun wrong = StartIn(another, {"--package", "/no/such/folder"});
  EXPECT_EQ(wrong.exitCode, 2);
  EXPECT_TRUE(
      wrong.errors.contains("[Fehler] /no/such/folder: kein Ordner. Nennen Sie mit --package"))
      << wrong.errors.toStdString();
  EXPECT_FALSE(wrong.windowShown);
}

}  // namespace
