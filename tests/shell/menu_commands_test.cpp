// The main window's menu commands, its two languages and its key combinations, on the real
// window offscreen.
#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/text.h"
#include "shell/qt_window_system.h"
#include "shell/startup.h"
#include "shell/update_form.h"
#include "tests/serial/pty_fixture.h"
#include "tests/support/package_files.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_folder.h"
#include "update/commands.h"

namespace shell {
namespace {

const std::filesystem::path kLanguageFiles = std::filesystem::path(UPDATER_SOURCE_DIR) / "lang";

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// A package folder with Update.ini, ProgDevice.ini and, when asked, the shipped language files.
struct Package {
  test::TempFolder folder;

  explicit Package(bool languageFiles, const std::string& language = "0") {
    test::WritePackageFile(folder, "Update.ini",
                           "[Update]\r\nLanguage=" + language + "\r\nVersion=1.00\r\n");
    test::WritePackageFile(
        folder, "ProgDevice.ini",
        test::DeviceSection() + "\r\n" +
            test::TextSection("Schließen Sie das Gerät an.", "Connect the instrument."));
    if (languageFiles) {
      for (const char* name : {"Update.Deu", "Update.Eng"}) {
        std::filesystem::copy_file(kLanguageFiles / name, folder.Path() / name);
      }
    }
    std::filesystem::create_directories(folder.Path() / "ports");
    setenv("UPDATE_PORT_DIR", (folder.Path() / "ports").c_str(), 1);
  }

  FormOptions Options() const {
    std::optional<FormOptions> options = ReadStartupFiles(folder.Path(), folder.Path());
    EXPECT_TRUE(options.has_value());
    if (!options) return {};
    options->portErrorBox = [](const std::string&, const std::string&) {};
    return std::move(*options);
  }
};

// The entries of a language file: element name -> translation (UTF-8).
std::map<std::string, std::string> Translations(const std::filesystem::path& file) {
  std::map<std::string, std::string> entries;
  std::istringstream lines(core::Cp1252ToUtf8(ReadFile(file)));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t close = line.find(']');
    const size_t assign = line.find(":=");
    if (line.empty() || line[0] != '[' || close == std::string::npos) continue;
    entries[line.substr(1, close - 1)] =
        assign == std::string::npos ? std::string() : line.substr(assign + 2);
  }
  return entries;
}

// The caption of the window's element of that name as the user sees it.
std::string Caption(TUpdateForm& form, const std::string& name) {
  const QString objectName = QString::fromStdString(name);
  if (objectName == form.objectName()) return form.windowTitle().toStdString();
  if (auto* menu = form.findChild<QMenu*>(objectName)) return menu->title().toStdString();
  if (auto* item = form.findChild<QAction*>(objectName)) return item->text().toStdString();
  if (auto* group = form.findChild<QGroupBox*>(objectName)) return group->title().toStdString();
  if (auto* button = form.findChild<QPushButton*>(objectName)) return button->text().toStdString();
  if (auto* label = form.findChild<QLabel*>(objectName)) return label->text().toStdString();
  return "<no element " + name + ">";
}

void ExpectCaptionsOf(TUpdateForm& form, const std::filesystem::path& file) {
  const auto entries = Translations(file);
  ASSERT_FALSE(entries.empty());
  for (const auto& [name, caption] : entries) {
    EXPECT_EQ(Caption(form, name), caption) << name << " in " << file.filename();
  }
}

void Screenshot(TUpdateForm& form, const char* name) {
  const std::filesystem::path artefacts = std::filesystem::path(UPDATER_BUILD_DIR) / "artefacts";
  std::filesystem::create_directories(artefacts);
  EXPECT_TRUE(form.grab().save(QString::fromStdString((artefacts / name).string())));
}

TEST(LanguageSwitch, MenuSwitchesCaptionsSettingsAndStartText) {
  test::App();
  Package package(true);
  QtWindowSystem windows;
  TUpdateForm form(windows, package.Options());
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  ExpectCaptionsOf(form, kLanguageFiles / "Update.Deu");
  EXPECT_TRUE(form.Deutsch->isChecked());
  Screenshot(form, "update-window-de.png");

  form.Englisch->trigger();
  EXPECT_TRUE(form.Englisch->isChecked());
  EXPECT_FALSE(form.Deutsch->isChecked());
  ExpectCaptionsOf(form, kLanguageFiles / "Update.Eng");
  EXPECT_EQ(form.UpdateGroupBox->title(), "Device");
  EXPECT_EQ(form.UpdateEnd->text(), "E&xit");
  EXPECT_EQ(form.UpdateMemo->toPlainText(), "Connect the instrument.");
  EXPECT_NE(ReadFile(package.folder.Path() / "Update.ini").find("Language=1\r\n"),
            std::string::npos);
  Screenshot(form, "update-window-en.png");

  form.Deutsch->trigger();
  ExpectCaptionsOf(form, kLanguageFiles / "Update.Deu");
  EXPECT_EQ(form.UpdateGroupBox->title(), QString::fromUtf8("Gerät"));
  EXPECT_EQ(form.UpdateMemo->toPlainText(), QString::fromUtf8("Schließen Sie das Gerät an."));
  EXPECT_NE(ReadFile(package.folder.Path() / "Update.ini").find("Language=0\r\n"),
            std::string::npos);
  // The shipped files are read, never rewritten.
  for (const char* name : {"Update.Deu", "Update.Eng"}) {
    EXPECT_EQ(ReadFile(package.folder.Path() / name), ReadFile(kLanguageFiles / name)) << name;
  }
}

TEST(LanguageSwitch, EnglishAtStartUp) {
  test::App();
  Package package(true, "1");
  QtWindowSystem windows;
  TUpdateForm form(windows, package.Options());
  ExpectCaptionsOf(form, kLanguageFiles / "Update.Eng");
  EXPECT_TRUE(form.Englisch->isChecked());
}

// Both shipped files name every element a translation pass meets: a pass without language files
// learns the list of names.
TEST(LanguageSwitch, ShippedFilesCoverEveryCaption) {
  test::App();
  Package package(false);
  QtWindowSystem windows;
  TUpdateForm form(windows, package.Options());
  EXPECT_TRUE(form.UpdateSprachDialog.Learning());
  EXPECT_EQ(form.UpdateGroupBox->title(), QString::fromUtf8("Gerät"));
  std::vector<std::string> learned;
  for (const std::string& line : form.UpdateSprachDialog.Entries()) {
    if (line.rfind("[Hint]", 0) != 0) learned.push_back(line.substr(1, line.find(']') - 1));
  }
  std::sort(learned.begin(), learned.end());
  for (const char* name : {"Update.Deu", "Update.Eng"}) {
    std::vector<std::string> shipped;
    for (const auto& entry : Translations(kLanguageFiles / name)) shipped.push_back(entry.first);
    EXPECT_EQ(shipped, learned) << name;
  }
}

struct KeyCase {
  const char* what;
  std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys;
  int32_t debugMode;
  int32_t versionCheck;
  const char* notice;  // nullptr: hidden
  bool clockSent;
};

TEST(FormKeyUp, KeyCombinations) {
  test::App();
  const auto ctrl = Qt::KeyboardModifiers(Qt::ControlModifier);
  const auto ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
  const auto shift = Qt::KeyboardModifiers(Qt::ShiftModifier);
  const auto none = Qt::KeyboardModifiers(Qt::NoModifier);
  const KeyCase cases[] = {
      {"Ctrl+F1 shows the debug notice", {{Qt::Key_F1, ctrl}}, 1, 1, "Debug-Mode", false},
      {"Ctrl+F1 twice", {{Qt::Key_F1, ctrl}, {Qt::Key_F1, ctrl}}, 0, 1, nullptr, false},
      {"F1 alone", {{Qt::Key_F1, none}}, 0, 1, nullptr, false},
      {"Ctrl+Alt+F10", {{Qt::Key_F10, ctrlAlt}}, 0, 0, "Software Vers. ignorieren", false},
      {"Ctrl+Alt+F10 twice",
       {{Qt::Key_F10, ctrlAlt}, {Qt::Key_F10, ctrlAlt}},
       0,
       1,
       nullptr,
       false},
      {"Ctrl+F10 without Alt", {{Qt::Key_F10, ctrl}}, 0, 1, nullptr, false},
      {"Ctrl+Shift+F10, which the X server leaves to the program",
       {{Qt::Key_F10, Qt::ControlModifier | Qt::ShiftModifier}},
       0,
       0,
       "Software Vers. ignorieren",
       false},
      {"the last toggle decides the notice",
       {{Qt::Key_F1, ctrl}, {Qt::Key_F10, ctrlAlt}},
       1,
       0,
       "Software Vers. ignorieren",
       false},
      {"Shift+F12 sets the clock (logged in debug mode)",
       {{Qt::Key_F1, ctrl}, {Qt::Key_F12, shift}},
       1,
       1,
       "Debug-Mode",
       true},
      {"F12 without Shift does nothing",
       {{Qt::Key_F1, ctrl}, {Qt::Key_F12, none}},
       1,
       1,
       "Debug-Mode",
       false},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.what);
    Package package(true);
    QtWindowSystem windows;
    TUpdateForm form(windows, package.Options());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    // Keys go to a control: the window sees them first.
    for (const auto& [key, modifiers] : c.keys) QTest::keyClick(form.UpdateMemo, key, modifiers);
    EXPECT_EQ(form.Engine().DebugMode, c.debugMode);
    EXPECT_EQ(form.Engine().VersionCheck, c.versionCheck);
    EXPECT_EQ(form.InfoStaticText->isVisible(), c.notice != nullptr);
    if (c.notice) {
      EXPECT_EQ(form.InfoStaticText->text().toStdString(), c.notice);
      // The whole notice fits its field.
      EXPECT_LE(form.InfoStaticText->sizeHint().width(), form.InfoStaticText->width());
    }
    EXPECT_EQ(form.UpdateMemo->toPlainText().contains(update::cmd::kClockPrefix), c.clockSent);
    // Setting the clock says so in the log, also outside debug mode.
    EXPECT_EQ(form.UpdateMemo->toPlainText().contains("Die Uhr des Geräts wird gestellt"),
              c.clockSent);
  }
}

TEST(ReadmeClick, OpensTheManualOfLanguageAndInstrumentType) {
  test::App();
  struct Case {
    int32_t startMode;
    int32_t language;
    const char* manual;
  } cases[] = {
      {0, 0, "Firmwareupdate_Messgeraete.pdf"},  {2, 0, "Firmwareupdate_SNX_Sensoren.pdf"},
      {1, 1, "Firmwareupdate_meters.pdf"},       {3, 1, "Firmwareupdate_SNX_sensors.pdf"},
      {3, 0, "Firmwareupdate_SNX_Sensoren.pdf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.manual);
    Package package(true, std::to_string(c.language));
    package.folder.Write(c.manual, "%PDF-1.4\n");
    FormOptions options = package.Options();
    options.devices.StartMode = static_cast<package::StartVariant>(c.startMode);
    QtWindowSystem windows;
    TUpdateForm form(windows, std::move(options));
    std::vector<std::filesystem::path> opened;
    form.SetDocumentOpener([&opened](const std::filesystem::path& file) {
      opened.push_back(file);
      return true;
    });
    EXPECT_TRUE(form.ReadmeClick());
    EXPECT_EQ(opened, std::vector<std::filesystem::path>{package.folder.Path() / c.manual});
  }
}

TEST(ReadmeClick, NoManualOrNoViewerShowsTheBox) {
  test::App();
  for (bool present : {false, true}) {
    SCOPED_TRACE(present ? "viewer fails" : "manual missing");
    Package package(true);
    if (present) package.folder.Write("Firmwareupdate_Messgeraete.pdf", "%PDF-1.4\n");
    QtWindowSystem windows;
    TUpdateForm form(windows, package.Options());
    int calls = 0;
    form.SetDocumentOpener([&calls](const std::filesystem::path&) { return ++calls, false; });
    setenv("UPDATE_AUTO_ANSWER", "yes", 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(form.ReadmeClick());
    const std::string boxes = testing::internal::GetCapturedStderr();
    unsetenv("UPDATE_AUTO_ANSWER");
    EXPECT_NE(boxes.find("[Fehler] Programm konnte nicht gestartet werden!"), std::string::npos)
        << boxes;
    EXPECT_EQ(boxes.find("Handbuch nicht gefunden") != std::string::npos, !present) << boxes;
    // Without a viewer the box names the manual's file and what to install.
    EXPECT_EQ(boxes.find("PDF-Betrachter") != std::string::npos, present) << boxes;
    if (present) {
      EXPECT_NE(boxes.find("Firmwareupdate_Messgeraete.pdf"), std::string::npos);
    }
    EXPECT_EQ(calls, present ? 1 : 0);
  }
}

TEST(SWVersionClick, ShowsTheVersionOfUpdateIni) {
  test::App();
  Package package(true, "1");
  QtWindowSystem windows;
  TUpdateForm form(windows, package.Options());
  setenv("UPDATE_AUTO_ANSWER", "yes", 1);
  testing::internal::CaptureStderr();
  form.SWVersion->trigger();
  const std::string boxes = testing::internal::GetCapturedStderr();
  unsetenv("UPDATE_AUTO_ANSWER");
  EXPECT_NE(boxes.find("[Info]      Version 1.00" + std::string(27, ' ')), std::string::npos)
      << boxes;
  // The program's own version follows the package's.
  EXPECT_NE(boxes.find("Program version " UPDATER_VERSION), std::string::npos) << boxes;
}

// The build writes the four manuals beside the program; each is a PDF a viewer can render, and
// the help menu of a program in that folder opens the one of its language and instrument type.
TEST(ReadmeClick, BuiltManualsRenderAndAreFoundBesideTheProgram) {
  test::App();
  const std::filesystem::path programFolder = std::filesystem::path(UPDATER_BUILD_DIR) / "shell";
  test::TempFolder pages;
  for (const char* name : {"Firmwareupdate_Messgeraete.pdf", "Firmwareupdate_SNX_Sensoren.pdf",
                           "Firmwareupdate_meters.pdf", "Firmwareupdate_SNX_sensors.pdf"}) {
    SCOPED_TRACE(name);
    const std::filesystem::path manual = programFolder / name;
    ASSERT_TRUE(std::filesystem::is_regular_file(manual));
    const std::filesystem::path page = pages.Path() / name;
    const std::string command = "pdftoppm -r 30 -png -singlefile -f 1 -l 1 '" + manual.string() +
                                "' '" + page.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::error_code error;
    EXPECT_GT(std::filesystem::file_size(page.string() + ".png", error), 1000u);
  }

  Package package(true, "1");
  FormOptions options = package.Options();
  options.programFolder = programFolder;
  options.devices.StartMode = package::StartVariant::kSensorBootChoice;
  QtWindowSystem windows;
  TUpdateForm form(windows, std::move(options));
  std::vector<std::filesystem::path> opened;
  form.SetDocumentOpener([&opened](const std::filesystem::path& file) {
    opened.push_back(file);
    return true;
  });
  form.Readme->trigger();
  EXPECT_EQ(opened,
            std::vector<std::filesystem::path>{programFolder / "Firmwareupdate_SNX_sensors.pdf"});
}

// The hidden speed button sends the wake-up sequence of the device kind to the first port.
TEST(SpeedButton1Click, SendsTheWakeSequenceOfTheDeviceKind) {
  test::App();
  struct Case {
    int32_t deviceKind;
    std::string bytes;
  } cases[] = {
      {1, "\x80"},
      {4, std::string("\x85\x01\x00\x1A", 4)},
      {7, ""},  // a kind without a sequence sends nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.deviceKind);
    Package package(true);
    ptytest::PortDir ports;
    ptytest::Pty& com1 = ports.Add(1);
    FormOptions options = package.Options();
    options.devices.DeviceKind = static_cast<package::DeviceKindId>(c.deviceKind);
    QtWindowSystem windows;
    TUpdateForm form(windows, std::move(options));
    ASSERT_TRUE(form.Ports().UpdateCom().Opened());
    com1.Drain();
    form.SpeedButton1Click();
    EXPECT_EQ(com1.Receive(c.bytes.size() + 1, 200), c.bytes);
  }
}

}  // namespace
}  // namespace shell
