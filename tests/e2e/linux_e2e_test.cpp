// update-cli as a technician on a Linux PC meets it: listing and choosing ports, a port the user
// may not open, a package named on the command line, and a boot-loader failure that says which
// step failed and what to try.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <utility>

#include "tests/e2e/image_update.h"
#include "tests/serial/pty_fixture.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

// A folder holding only a link to update-cli: a program that does not live in a package.
fs::path ProgramOnly(const test::TempFolder& folder) {
  const fs::path bin = folder.Path() / "bin";
  fs::create_directories(bin);
  fs::create_symlink(UPDATE_CLI_PATH, bin / "update-cli");
  return bin;
}

// The list speaks the desktop's language: no package is read for it.
TEST(LinuxEndToEnd, ListPortsShowsEachPortOfTheFolderWithItsDevice) {
  for (const auto& [locale, usable] :
       {std::pair{"LANG=C", "usable"}, std::pair{"LANG=de_DE.UTF-8", "nutzbar"}}) {
    SCOPED_TRACE(locale);
    ptytest::PortDir ports;
    ptytest::Pty& com2 = ports.Add(2);
    ptytest::Pty& com7 = ports.Add(7);
    test::TempFolder folder;
    const CliResult run =
        RunCli(ProgramOnly(folder), ports.Path(), {"--list-ports"}, 120, {locale});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, AllOf(HasSubstr("COM2    " + com2.SlavePath() + "  " + usable),
                                  HasSubstr("COM7    " + com7.SlavePath() + "  " + usable)));
    EXPECT_THAT(run.output, Not(HasSubstr("COM1 ")));
    EXPECT_THAT(run.output, Not(HasSubstr("dialout")));
  }
}

TEST(LinuxEndToEnd, ListPortsOfAnEmptyFolderIsACleanEmptyList) {
  for (const auto& [locale, list] :
       {std::pair{"LANG=C", "No serial ports found.\n"},
        std::pair{"LANG=de_DE.UTF-8", "Keine seriellen Schnittstellen gefunden.\n"}}) {
    SCOPED_TRACE(locale);
    test::TempFolder folder;
    fs::create_directories(folder.Path() / "ports");
    const CliResult run =
        RunCli(ProgramOnly(folder), folder.Path() / "ports", {"--list-ports"}, 120, {locale});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, list);
  }
}

// The instrument on COM2 behind a silent COM1.
struct PortRun {
  CliResult cli;
  std::string com2Device;
};

PortRun RunWithPort(const std::string& portOption) {
  simtest::SimProcess sim("[identity]\nversion = 1.30,2.10\n",
                          {"--com", "2", "--silent-ports", "1", "--state", "state.json"});
  EXPECT_TRUE(sim.Ready()) << sim.Output();
  test::TempFolder package;
  WritePackage(package.Path(), "1.30", "2.05");  // nothing to program: the run ends at once
  PortRun run;
  run.com2Device = fs::read_symlink(sim.Port(2)).string();
  const std::string choice = portOption == "device" ? run.com2Device : portOption;
  run.cli = RunCli(package.Path(), sim.Folder(), {"--port", choice});
  sim.Stop(SIGTERM);
  return run;
}

TEST(LinuxEndToEnd, PortOptionUsesThatPortOnly) {
  for (const std::string option : {"COM2", "com2", "device"}) {
    SCOPED_TRACE(option);
    const PortRun run = RunWithPort(option);
    EXPECT_EQ(run.cli.exitCode, 0) << run.cli.output;
    // Panel 0 names the one port with its device; the log says which device it is.
    EXPECT_THAT(run.cli.output, HasSubstr("[status 0] Com2 " + run.com2Device + "\n"));
    EXPECT_THAT(run.cli.output, HasSubstr("COM2 ist " + run.com2Device));
    EXPECT_THAT(run.cli.output, Not(HasSubstr("[Com")));
    EXPECT_THAT(run.cli.output, Not(HasSubstr("COM1")));
    EXPECT_THAT(run.cli.output, HasSubstr("Download erfolgreich ausgeführt !"));
    // The console has no File menu: it says that it ends, in the package's language.
    EXPECT_THAT(run.cli.output, Not(HasSubstr("Datei/Beenden")));
    EXPECT_THAT(run.cli.output, HasSubstr("    Das Programm endet jetzt.\n"));
    EXPECT_THAT(run.cli.output, HasSubstr("\nupdate-cli: das Update ist abgeschlossen\n"));
  }
}

TEST(LinuxEndToEnd, PortOptionThatNamesNoPortDoesNotStart) {
  for (const std::string option : {"/dev/null", "COM0", "ttyUSB0"}) {
    SCOPED_TRACE(option);
    ptytest::PortDir ports;
    ports.Add(1);
    test::TempFolder package;
    WritePackage(package.Path(), "1.30");
    const CliResult run = RunCli(package.Path(), ports.Path(), {"--port", option});
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_THAT(run.output,
                HasSubstr(option + " ist keine serielle Schnittstelle dieses Rechners"));
  }
}

// Runs update-cli as a user who may not open a port made unreadable: the test's own user when
// that is not root; for root (who may open anything) the user nobody, through setpriv.
class NotPermitted : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) return;
    if (access("/usr/bin/setpriv", X_OK) != 0) {
      GTEST_SKIP() << "running as root without /usr/bin/setpriv: no user to whom a port can be "
                      "closed";
    }
    launcher_ = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  }

  // The folder and everything the other user must read in it.
  static void OpenToOthers(const fs::path& folder) {
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
  }

  CliResult Run(const fs::path& package, const fs::path& ports,
                const std::vector<std::string>& args) {
    OpenToOthers(package);
    OpenToOthers(ports);
    return RunCli(package, ports, args, 60, {}, launcher_);
  }

  std::vector<std::string> launcher_;
};

TEST_F(NotPermitted, ThePortOnlyOrChosenGivesTheDialoutHintAndExitTwo) {
  const struct {
    const char* what;
    std::vector<std::string> args;
    int exitCode;
    const char* line;
  } cases[] = {
      {"the only port", {}, 2, "[Fehler] Ihr Benutzer darf keine der seriellen Schnittstellen"},
      {"the chosen port", {"--port", "COM1"}, 2, "[Fehler] Keine Berechtigung"},
      {"the list", {"--list-ports"}, 0, "  not permitted"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ptytest::PortDir ports;
    ptytest::Pty& com1 = ports.Add(1);
    ports.Add(2);  // usable: the chosen port is refused all the same
    if (std::string(c.what) == "the only port") fs::remove(ports.Path() / "COM2");
    ASSERT_EQ(chmod(com1.SlavePath().c_str(), 0), 0);
    test::TempFolder package;
    WritePackage(package.Path(), "1.30");
    const CliResult run = Run(package.Path(), ports.Path(), c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
    EXPECT_THAT(run.output, HasSubstr(c.line));
    EXPECT_THAT(run.output, HasSubstr("dialout"));
    EXPECT_THAT(run.output, HasSubstr("COM1 (" + com1.SlavePath() + ")"));
  }
}

TEST_F(NotPermitted, TheNotFoundMessageNamesAPortThatWasNotPermitted) {
  ptytest::PortDir ports;
  ptytest::Pty& com1 = ports.Add(1);
  ptytest::Pty& com2 = ports.Add(2);  // open to all, but nobody answers on it
  ASSERT_EQ(chmod(com1.SlavePath().c_str(), 0), 0);
  ASSERT_EQ(chmod(com2.SlavePath().c_str(), 0666), 0);
  test::TempFolder package;
  WritePackage(package.Path(), "1.30");
  const CliResult run = Run(package.Path(), ports.Path(), {});
  EXPECT_EQ(run.exitCode, 2) << run.output;
  EXPECT_THAT(run.output, HasSubstr("[status 0] [Com2]"));
  EXPECT_THAT(run.output, HasSubstr("COM2 ist " + com2.SlavePath()));
  EXPECT_THAT(run.output, HasSubstr("Kein Gerät gefunden"));
  EXPECT_THAT(run.output, HasSubstr("    Keine Berechtigung für die Schnittstelle COM1 (" +
                                    com1.SlavePath() + ")"));
}

TEST(LinuxEndToEnd, PackageOptionNamesThePackageOfAnInstalledProgram) {
  simtest::SimProcess sim("[identity]\nversion = 1.30,2.10\n",
                          {"--com", "1", "--state", "state.json"});
  ASSERT_TRUE(sim.Ready()) << sim.Output();
  test::TempFolder folder;
  const fs::path bin = ProgramOnly(folder);
  const fs::path package = folder.Path() / "package";
  fs::create_directories(package);
  WritePackage(package, "1.30", "2.05");

  const CliResult withPackage = RunCli(bin, sim.Folder(), {"--package", package.string()});
  EXPECT_EQ(withPackage.exitCode, 0) << withPackage.output;
  EXPECT_THAT(withPackage.output, HasSubstr("Download erfolgreich ausgeführt !"));

  // Started in a folder without a package, it says which file it missed and where it looked.
  const CliResult without = RunCli(bin, sim.Folder(), {}, 60, {"LANG=en_GB.UTF-8"});
  EXPECT_EQ(without.exitCode, 2) << without.output;
  EXPECT_THAT(without.output, HasSubstr("[Error] The file Update.ini is missing; searched in: " +
                                        fs::canonical(bin).string()));
  const CliResult german =
      RunCli(bin, sim.Folder(), {"--package", bin.string()}, 60, {"LANG=de_DE.UTF-8"});
  EXPECT_THAT(german.output, HasSubstr("[Fehler] Die Datei Update.ini fehlt"));
  const CliResult notAFolder = RunCli(bin, sim.Folder(), {"--package", "/no/such/folder"});
  EXPECT_EQ(notAFolder.exitCode, 2) << notAFolder.output;
  EXPECT_THAT(notAFolder.output, HasSubstr("/no/such/folder: not a folder"));
  sim.Stop(SIGTERM);
}

// The classic boot loader refuses every frame from the speed change on.
TEST(LinuxEndToEnd, BootLoaderFailureNamesTheStepAndTheAdviceInBothLanguages) {
  const std::vector<Section> image = {
      kVersion, {0x1100, Pattern(300, 1)}, VectorTable(0xFFE0, 0x1100)};
  const struct {
    int language;
    std::vector<std::string> parts;
  } cases[] = {
      {0,
       {"Fehler im Bootloader !!",
        "Fehlgeschlagener Schritt im Bootloader: Umschalten der Übertragungsgeschwindigkeit "
        "(Code 3).",
        "Abhilfe: Prüfen Sie Kabel und Stecker"}},
      {1,
       {"Error in bootloader !!", "Failed boot-loader step: change of the transfer speed (code 3).",
        "What to do: check the cable and plugs"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    simtest::SimProcess sim(
        "[identity]\nversion = 1.20\n[bootloader]\ntarget = classic\nversion = 1.60\n"
        "[bootloader_faults]\nnak = 3,4,5,6,7\n",
        {"--com", "2", "--silent-ports", "1", "--state", "state.json"});
    ASSERT_TRUE(sim.Ready()) << sim.Output();
    test::TempFolder package;
    WritePackage(package.Path(), ImagePackage{TiTxt(image), "149", "", false});
    package.Write("Update.ini", "[Update]\r\nLanguage=" + std::to_string(c.language) +
                                    "\r\nVersion=1.00\r\nBaud=2,3\r\nCom=\r\n");
    const CliResult run = RunCli(package.Path(), sim.Folder(), {"--yes"});
    sim.Stop(SIGTERM);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    for (const std::string& part : c.parts) EXPECT_THAT(run.output, HasSubstr(part));
  }
}

}  // namespace
}  // namespace e2e
