// The programming submenu and the bench entry on the real window offscreen: an entry programs
// the device row of its tag from the boot loader, without the identification dialogue.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cstdlib>
#include <filesystem>

#include "shell/qt_window_system.h"
#include "shell/startup.h"
#include "shell/update_form.h"
#include "tests/serial/pty_fixture.h"
#include "tests/support/package_files.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_folder.h"

namespace shell {
namespace {

// A package for three instruments of the menu family, each with its firmware file.
FormOptions ThreeDevicePackage(const test::TempFolder& folder) {
  test::WritePackageFile(folder, "Update.ini", "[Update]\r\nLanguage=1\r\nVersion=1.00\r\n");
  const struct {
    const char* number;
    const char* name;
    const char* file;
  } rows[] = {{"18101.000", "Multi 480e", "Multi480e.mot"},  // the submenu shows when the
              {"18102.000", "pH 480e", "Cond480e.mot"},      // last file is the first row's
              {"18103.000", "Oxi 480e", "Labor480e.mot"}};
  std::string devices;
  for (const auto& row : rows) {
    devices += test::DeviceSection({{"DeviceNrDef", row.number},
                                    {"DeviceNr", row.number},
                                    {"DeviceName", row.name},
                                    {"ProgFile2", row.file},
                                    {"ProgDefFile", "menu480e.hex"}}) +
               "\r\n";
    folder.Write(row.file, "S00600004844521B\r\n");
  }
  test::WritePackageFile(
      folder, "ProgDevice.ini",
      devices + test::TextSection("Anschließen.", "Connect.", "Abbruch", "Programming aborted"));
  std::optional<FormOptions> options = ReadStartupFiles(folder.Path(), folder.Path());
  EXPECT_TRUE(options.has_value());
  if (!options) return {};
  options->portErrorBox = [](const std::string&, const std::string&) {};
  return std::move(*options);
}

TEST(ProgrammingMenu, DevOxi480eProgramsTheThirdRowAndNamesItDevice) {
  test::App();
  test::TempFolder folder;
  // The package is the working folder, as when the program is started in it.
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  ptytest::PortDir ports;
  ports.Add(1);
  setenv("UPDATE_AUTO_ANSWER", "yes", 1);
  QtWindowSystem windows;
  TUpdateForm form(windows, ThreeDevicePackage(folder));
  ASSERT_TRUE(form.TG480eProgrammingItem->isVisible());
  ASSERT_TRUE(form.DevOxi480e->isEnabled());

  form.DevOxi480e->trigger();
  unsetenv("UPDATE_AUTO_ANSWER");

  EXPECT_FALSE(form.TG480eProgrammingItem->isEnabled());
  EXPECT_EQ(form.Engine().Record().DeviceNumber, "18103.000");
  EXPECT_EQ(form.NameStaticText->text(), "Device");
  EXPECT_TRUE(form.PCBStaticText->text().isEmpty());
  // The row's loader program is not in the package: the programming fails readably, naming it,
  // and OK offers the retry.
  const QString log = form.UpdateMemo->toPlainText();
  EXPECT_TRUE(log.contains("The loader program HEXLoad_8N1 is not in the folder"))
      << log.toStdString();
  EXPECT_TRUE(log.contains("Programming aborted")) << log.toStdString();
  EXPECT_TRUE(form.OkBitBtn->isEnabled());
  std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace shell
