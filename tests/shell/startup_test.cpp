// Start-up of the real program in a package folder, as a child process: the boxes and the folder
// dialog answer themselves (UPDATE_AUTO_ANSWER, UPDATE_AUTO_FOLDER) and the window, once shown,
// saves a screenshot and ends (UPDATE_SCREENSHOT), so no person is needed and a shown window
// leaves a file behind. The remembered package folder lives in a settings folder of the test
// (XDG_CONFIG_HOME), never in the user's.
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

using Environment = std::vector<std::pair<QString, QString>>;

// Runs the program in folder; environment adds to (or overrides) the test's own. Without an
// XDG_CONFIG_HOME of the caller's the run has settings of its own.
ProgramRun StartIn(const test::TempFolder& folder, const QStringList& arguments = {},
                   const Environment& extra = {}) {
  // No serial port of this machine: one pseudo-terminal as COM1.
  const fs::path ports = folder.Path() / "ports";
  fs::create_directories(ports);
  int master = -1, slave = -1;
  char name[128] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) ADD_FAILURE() << "no pty";
  fs::create_symlink(name, ports / "COM1");
  const fs::path shot = folder.Path() / "shown.png";
  fs::remove(shot);
  const test::TempFolder settings;
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
  environment.remove("UPDATE_AUTO_FOLDER");
  environment.insert("XDG_CONFIG_HOME", QString::fromStdString(settings.Path().string()));
  for (const auto& [name, value] : extra) environment.insert(name, value);
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
  fs::remove(ports / "COM1");
  return run;
}

QString Text(const fs::path& path) {
  return QString::fromStdString(path.string());
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
  // The boxes name the missing file and the folder searched. Without an Update.ini the folder is
  // no package: the folder dialog asks for one, here answered with the same folder.
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
    const ProgramRun run = StartIn(folder, {}, {{"UPDATE_AUTO_FOLDER", Text(folder.Path())}});
    if (c.box) {
      EXPECT_NE(run.exitCode, 0);
      const QString box = QString::fromUtf8(c.box) + QString::fromStdString(folder.Path().string());
      EXPECT_TRUE(run.errors.contains(box)) << run.errors.toStdString();
      EXPECT_FALSE(run.windowShown);
    } else {
      EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
      EXPECT_FALSE(run.errors.contains("message box")) << run.errors.toStdString();
      EXPECT_FALSE(run.errors.contains("folder dialog")) << run.errors.toStdString();
      EXPECT_TRUE(run.windowShown);
    }
  }
}

void WritePackage(const test::TempFolder& folder) {
  test::WritePackageFile(folder, "Update.ini", "Language=1\r\nVersion=1.00\r\n");
  test::WritePackageFile(folder, "ProgDevice.ini",
                         test::DeviceSection() + "\r\n" + test::TextSection("Start", "S"));
}

// Started from the desktop menu, in the home folder: the window asks for its package with a
// folder dialog, and opens straight on it the next time.
TEST(StartUp, WithoutAPackageTheWindowAsksForItsFolderAndRemembersIt) {
  test::App();
  test::TempFolder package;
  WritePackage(package);
  test::TempFolder home;
  const test::TempFolder settings;
  const std::pair<QString, QString> kept = {"XDG_CONFIG_HOME", Text(settings.Path())};

  const ProgramRun chosen = StartIn(home, {}, {kept, {"UPDATE_AUTO_FOLDER", Text(package.Path())}});
  EXPECT_EQ(chosen.exitCode, 0) << chosen.errors.toStdString();
  EXPECT_TRUE(chosen.windowShown);
  EXPECT_TRUE(chosen.errors.contains(QString::fromUtf8("folder dialog [Firmware-Paket wählen] ") +
                                     Text(fs::canonical(home.Path())) + " -> " +
                                     Text(package.Path())))
      << chosen.errors.toStdString();
  EXPECT_FALSE(chosen.errors.contains("message box")) << chosen.errors.toStdString();

  // The next start, without an answer for the dialog, opens on the remembered package.
  const ProgramRun again = StartIn(home, {}, {kept});
  EXPECT_EQ(again.exitCode, 0) << again.errors.toStdString();
  EXPECT_TRUE(again.windowShown);
  EXPECT_FALSE(again.errors.contains("folder dialog")) << again.errors.toStdString();

  // A remembered folder that lost its package: the dialog asks again, starting there.
  fs::remove(package.Path() / "Update.ini");
  const ProgramRun lost = StartIn(home, {}, {kept});
  EXPECT_EQ(lost.exitCode, 2) << lost.errors.toStdString();
  EXPECT_FALSE(lost.windowShown);
  EXPECT_TRUE(lost.errors.contains("] " + Text(fs::canonical(package.Path())) + " -> Cancel"))
      << lost.errors.toStdString();
}

TEST(StartUp, AFolderDialogThatFindsNoPackageEndsWhenCancelled) {
  test::App();
  test::TempFolder home;
  // Cancelled at once: the start-up exit code, and no box about it.
  const ProgramRun cancelled = StartIn(home, {}, {{"LANG", "en_GB.UTF-8"}});
  EXPECT_EQ(cancelled.exitCode, 2) << cancelled.errors.toStdString();
  EXPECT_FALSE(cancelled.windowShown);
  EXPECT_TRUE(cancelled.errors.contains("folder dialog [Choose the firmware package] " +
                                        Text(fs::canonical(home.Path())) + " -> Cancel"))
      << cancelled.errors.toStdString();
  EXPECT_FALSE(cancelled.errors.contains("message box")) << cancelled.errors.toStdString();

  // A chosen folder without a package says so and what to do, then the dialog asks again; the
  // second answer cancels.
  test::TempFolder empty;
  const ProgramRun wrong =
      StartIn(home, {}, {{"LANG", "en_GB.UTF-8"}, {"UPDATE_AUTO_FOLDER", Text(empty.Path())}});
  EXPECT_EQ(wrong.exitCode, 2) << wrong.errors.toStdString();
  EXPECT_FALSE(wrong.windowShown);
  const QString box = "message box [Error] The file Update.ini is missing; searched in: " +
                      Text(fs::canonical(empty.Path())) +
                      "\nChoose the folder of the firmware package";
  EXPECT_TRUE(wrong.errors.contains(box)) << wrong.errors.toStdString();
  EXPECT_TRUE(wrong.errors.indexOf(box) <
              wrong.errors.indexOf("] " + Text(empty.Path()) + " -> Cancel"))
      << wrong.errors.toStdString();
}

TEST(StartUp, PackageOptionNamesThePackageFolder) {
  test::App();
  test::TempFolder package;
  WritePackage(package);
  // Started in an empty folder, the window opens on the package named, and keeps it for the
  // next start without the option.
  test::TempFolder elsewhere;
  const test::TempFolder settings;
  const std::pair<QString, QString> kept = {"XDG_CONFIG_HOME", Text(settings.Path())};
  const ProgramRun run = StartIn(elsewhere, {"--package", Text(package.Path())}, {kept});
  EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
  EXPECT_TRUE(run.windowShown);
  const ProgramRun next = StartIn(elsewhere, {}, {kept});
  EXPECT_EQ(next.exitCode, 0) << next.errors.toStdString();
  EXPECT_TRUE(next.windowShown);
  EXPECT_FALSE(next.errors.contains("folder dialog")) << next.errors.toStdString();
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
