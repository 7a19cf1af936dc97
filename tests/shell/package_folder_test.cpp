// Where the program finds its package, and the start-up texts that name where it looked.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "package/messages.h"
#include "shell/package_folder.h"
#include "tests/support/platform.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::HasSubstr;

TEST(PackageFolder, FirmwareComesFromThePackageTheProgramLivesIn) {
  test::TempFolder program;
  test::TempFolder working;
  // An installed program: nothing of a package beside it.
  EXPECT_EQ(shell::FirmwareFolder(program.Path(), working.Path(), false), working.Path());
  // --package names the folder that is now the working folder.
  program.Write("ProgDevice.ini", "");
  EXPECT_EQ(shell::FirmwareFolder(program.Path(), working.Path(), true), working.Path());
  // A program inside a package lists that package's files, wherever it is started.
  EXPECT_EQ(shell::FirmwareFolder(program.Path(), working.Path(), false), program.Path());
}

TEST(PackageFolder, EnteringAFolderThatIsNoneFailsWithTheReason) {
  const fs::path before = fs::current_path();
  test::TempFolder folder;
  const fs::path file = folder.Write("Update.ini", "");
  EXPECT_THAT(shell::EnterPackageFolder(file.string(), 1), HasSubstr(": not a folder. Name the"));
  EXPECT_THAT(shell::EnterPackageFolder((folder.Path() / "none").string(), 0),
              HasSubstr(": kein Ordner. Nennen Sie mit --package"));
  EXPECT_EQ(fs::current_path(), before);
  EXPECT_EQ(shell::EnterPackageFolder(folder.Path().string(), 0), "");
  EXPECT_EQ(fs::current_path(), fs::canonical(folder.Path()));
  fs::current_path(before);
}

TEST(PackageFolder, MissingFilesAreNamedWithTheFoldersSearched) {
  test::UnsetEnvironment("ProgramFiles");
  const fs::path folder = "/srv/package";
  const struct {
    std::string_view original;
    int language;
    std::vector<std::string> parts;
    shell::PackageSource source = shell::PackageSource::Named;
  } cases[] = {
      {messages::kConfigFile1Missing,
       0,
       {"Die Datei Update.ini fehlt; gesucht in: /srv/package", "--package ORDNER"}},
      {messages::kConfigFile1Missing,
       1,
       {"The file Update.ini is missing; searched in: /srv/package", "--package FOLDER"}},
      {messages::kConfigFile2Missing, 0, {"Die Datei ProgDevice.ini fehlt; gesucht in: /srv/"}},
      {messages::kConfigFile2Missing, 1, {"The file ProgDevice.ini is missing"}},
      // A folder picked in the window's dialog: choose another one, or cancel.
      {messages::kConfigFile1Missing,
       0,
       {"Die Datei Update.ini fehlt; gesucht in: /srv/package", "Wählen Sie den Ordner"},
       shell::PackageSource::Chosen},
      {messages::kConfigFile2Missing,
       1,
       {"The file ProgDevice.ini is missing; searched in: /srv/package", "or cancel"},
       shell::PackageSource::Chosen},
      // Other reports of the readers stay as they are.
      {"Update.ini, line 3: ...", 1, {"Update.ini, line 3: ..."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.original) + " / " + std::to_string(c.language));
    const std::string text = shell::StartupErrorText(c.original, folder, c.language, c.source);
    for (const std::string& part : c.parts) EXPECT_THAT(text, HasSubstr(part));
    if (c.source == shell::PackageSource::Chosen) {
      EXPECT_THAT(text, ::testing::Not(HasSubstr("--package")));
    }
  }
}

TEST(PackageFolder, LanguageBeforeTheSettingsFollowsTheDesktop) {
  const struct {
    const char* all;
    const char* messages;
    const char* lang;
    int language;
  } cases[] = {
      {nullptr, nullptr, "de_DE.UTF-8", 0}, {nullptr, nullptr, "en_GB.UTF-8", 1},
      {nullptr, nullptr, nullptr, 1},       {"C", nullptr, "de_DE.UTF-8", 1},
      {nullptr, "de_AT", "en_US", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.language));
    const std::pair<const char*, const char*> values[] = {
        {"LC_ALL", c.all}, {"LC_MESSAGES", c.messages}, {"LANG", c.lang}};
    for (const auto& [name, value] : values) {
      if (value) {
        test::SetEnvironment(name, value);
      } else {
        test::UnsetEnvironment(name);
      }
    }
    EXPECT_EQ(shell::DesktopLanguage(), c.language);
  }
}

}  // namespace
