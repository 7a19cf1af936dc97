#include "shell/update_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include "shell/qt_window_system.h"
#include "shell/startup.h"
#include "tests/serial/pty_fixture.h"
#include "tests/support/package_files.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_folder.h"
#include "update/display.h"

namespace shell {
namespace {

// The form's options as start-up reads them from a package folder holding Update.ini and a
// ProgDevice.ini with one device entry per ProgFile2 given.
FormOptions Package(const test::TempFolder& folder, const std::vector<std::string>& progFile2,
                    const std::string& language = "0") {
  test::WritePackageFile(folder, "Update.ini",
                         "[Update]\r\nLanguage=" + language + "\r\nVersion=1.00\r\n");
  std::string devices;
  for (const std::string& file : progFile2) {
    devices += test::DeviceSection({{"ProgFile2", file}}) + "\r\n";
  }
  devices += test::TextSection("Schließen Sie das NAME an COM X an.\\rDann Ok.",
                               "Connect the NAME to COM X.\\rThen Ok.");
  test::WritePackageFile(folder, "ProgDevice.ini", devices);
  std::optional<FormOptions> options = ReadStartupFiles(folder.Path(), folder.Path());
  EXPECT_TRUE(options.has_value());
  // Never the machine's own ports: an empty port folder, and the failed open only noted.
  std::filesystem::create_directories(folder.Path() / "ports");
  setenv("UPDATE_PORT_DIR", (folder.Path() / "ports").c_str(), 1);
  if (!options) return FormOptions{};
  options->portErrorBox = [](const std::string&, const std::string&) {};
  return std::move(*options);
}

struct KeyProbe {
  std::vector<int32_t> keys;
  core::EventRecord Handle(core::EventQueue&, core::EventRecord record) {
    if (record.kind == core::EVK_KEY) keys.push_back(record.code);
    return record;
  }
};

TEST(UpdateForm, ElementsCaptionsAndInitialStates) {
  test::App();
  test::TempFolder folder;
  folder.Write("Multi480e.mot", "x");
  folder.Write("Sensor.txt", "x");
  QtWindowSystem windows;
  FormOptions options = Package(folder, {"Multi480e"});
  ptytest::PortDir ports;  // one port, so that OK starts a run
  ports.Add(1);
  setenv("UPDATE_PORT_DIR", ports.Path().c_str(), 1);
  TUpdateForm form(windows, std::move(options));
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

  EXPECT_EQ(form.windowTitle(), "Download :");
  EXPECT_EQ(form.UpdateGroupBox->title(), QString::fromUtf8("Gerät"));
  EXPECT_EQ(form.NameLabel->text(), "Name:");
  EXPECT_EQ(form.SerLabel->text(), "Seriennummer:");
  EXPECT_EQ(form.PCBLabel->text(), "PCB Nummer :");
  EXPECT_EQ(form.SWLabel->text(), "Version:");
  for (QLabel* field :
       {form.NameStaticText, form.SerStaticText, form.PCBStaticText, form.SWStaticText}) {
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_TRUE(field->isVisible());
  }
  EXPECT_FALSE(form.DLListBox->isVisible());
  EXPECT_EQ(form.DLListBox->count(), 2);
  EXPECT_EQ(form.DLListBox->item(0)->text(), "Multi480e");
  EXPECT_EQ(form.WaitProgressBar->maximum(), 40);
  EXPECT_EQ(form.WaitProgressBar->value(), 0);
  EXPECT_TRUE(form.OkBitBtn->isEnabled());
  EXPECT_FALSE(form.InfoStaticText->isVisible());
  EXPECT_FALSE(form.SpeedButton1->isVisible());
  EXPECT_FALSE(form.WaitPanel->isVisible());
  EXPECT_FALSE(form.StopPanel->isVisible());
  ASSERT_EQ(form.StatusPanels.size(), 5u);
  const int widths[] = {200, 50, 50, 120, 80};
  for (int i = 0; i < 5; ++i) EXPECT_GE(form.StatusPanels[i]->width(), widths[i]);
  // The longest texts of both languages fit their panels whole.
  const std::pair<int, const char*> longest[] = {
      {1, "Com256"},   {2, "BL-Baud"},          {2, "115200"},         {3, "Version 10.00"},
      {4, " 100.0 %"}, {4, "Update [beendet]"}, {4, "Update [ready]"},
  };
  for (const auto& [panel, text] : longest) {
    QLabel* label = form.StatusPanels[static_cast<size_t>(panel)];
    label->setText(QString::fromUtf8(text));
    EXPECT_LE(label->sizeHint().width(), label->width()) << text;
    label->clear();
  }
  EXPECT_EQ(form.StatusPanels[0]->text(), "[Com1]");
  EXPECT_FALSE(form.SecTimer->isActive());
  EXPECT_FALSE(form.TitleTimer->isActive());
  EXPECT_EQ(form.SecTimer->interval(), 500);
  EXPECT_EQ(form.TitleTimer->interval(), 300);

  EXPECT_EQ(form.Bearbeiten->title(), "&Datei");
  EXPECT_TRUE(form.TG480eProgrammingItem->isVisible());  // Multi480e.mot contains entry 0
  EXPECT_TRUE(form.DevMulti480e->isEnabled());
  EXPECT_FALSE(form.DevpH480e->isEnabled());
  EXPECT_EQ(form.DevCond480e->text(), "&Cond 480e ...");
  EXPECT_TRUE(form.BenchXXX->isEnabled());
  EXPECT_EQ(form.UpdateEnd->text(), "&Beenden");
  EXPECT_EQ(form.Sprache->title(), "&Sprache");
  EXPECT_TRUE(form.Deutsch->isCheckable());
  EXPECT_EQ(form.Help->title(), "&Hilfe");
  EXPECT_EQ(form.Readme->text(), "&Read me ...");
  EXPECT_EQ(form.SWVersion->text(), "&Version ...");

  // OK posts key 13 and pumps it to the handler chain.
  KeyProbe probe;
  form.Events().queue.AddHandler(core::MakeHandler<&KeyProbe::Handle>(&probe));
  QTest::mouseClick(form.OkBitBtn, Qt::LeftButton);
  EXPECT_EQ(probe.keys, std::vector<int32_t>{13});
  form.Events().queue.RemoveHandler(core::MakeHandler<&KeyProbe::Handle>(&probe));

  // SecTimer advances the progress bar by one per tick.
  form.SecTimerTimer();
  EXPECT_EQ(form.WaitProgressBar->value(), 1);

  // Kept as a build artefact for a look at the window.
  const std::filesystem::path artefacts = std::filesystem::path(UPDATER_BUILD_DIR) / "artefacts";
  std::filesystem::create_directories(artefacts);
  EXPECT_TRUE(form.grab().save(QString::fromStdString((artefacts / "update-window.png").string())));

  form.close();
  EXPECT_TRUE(form.StopPanel->isVisibleTo(&form));
}

TEST(UpdateForm, EmptyFolderLeavesListEmptyAndSubmenuHidden) {
  test::App();
  test::TempFolder folder;
  QtWindowSystem windows;
  TUpdateForm form(windows, Package(folder, {"Multi480e"}));
  EXPECT_EQ(form.DLListBox->count(), 0);
  EXPECT_FALSE(form.TG480eProgrammingItem->isVisible());
  EXPECT_FALSE(form.DevMulti480e->isEnabled());
}

TEST(UpdateForm, LanguageAndStartTextFromThePackage) {
  struct Case {
    std::string language;
    bool german;
    QString log;
  };
  const Case cases[] = {
      {"0", true, QString::fromUtf8("Schließen Sie das Gerät an COM 1 an.\nDann Ok.")},
      {"1", false, QStringLiteral("Connect the device to COM 1.\nThen Ok.")},
      // The note about the stray value follows the start text.
      {"7", true,
       QString::fromUtf8("Schließen Sie das Gerät an COM 1 an.\nDann Ok.\nUpdate.ini: "
                         "Language=\"7\" ist weder 0 noch 1; es gilt Deutsch. Tragen Sie "
                         "Language=0 (Deutsch) oder Language=1 (Englisch) ein.")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    test::App();
    test::TempFolder folder;
    QtWindowSystem windows;
    TUpdateForm form(windows, Package(folder, {"pH340.txt"}, c.language));
    EXPECT_EQ(form.Deutsch->isChecked(), c.german);
    EXPECT_EQ(form.Englisch->isChecked(), !c.german);
    // The log goes on with what the empty port folder means.
    EXPECT_TRUE(form.UpdateMemo->toPlainText().startsWith(c.log + "\n"))
        << form.UpdateMemo->toPlainText().toStdString();
    EXPECT_EQ(form.Devices().DeviceKind, package::DeviceKindId::kMsp430);
  }
}

TEST(UpdateForm, ShowsWhatTheUpdateSequenceSends) {
  test::App();
  test::TempFolder folder;
  QtWindowSystem windows;
  TUpdateForm form(windows, Package(folder, {"pH340.txt"}));
  update::UpdateView& view = form;

  view.ClearLog();
  view.AppendLog("eins\r\nzwei\rdrei");
  EXPECT_EQ(form.UpdateMemo->toPlainText(), "eins\nzwei\ndrei");
  view.SetDeviceField(update::DeviceField::Name, "20363.000  [pH 340]");
  view.SetDeviceField(update::DeviceField::Software, "1.23");
  EXPECT_EQ(form.NameStaticText->text(), "20363.000  [pH 340]");
  EXPECT_EQ(form.SWStaticText->text(), "1.23");
  update::ClearDeviceTexts(view);
  EXPECT_TRUE(form.NameStaticText->text().isEmpty());
  EXPECT_TRUE(form.SWStaticText->text().isEmpty());

  update::ShowProgress(view, 0, "", 50);
  EXPECT_EQ(form.StatusPanels[4]->text(), " 50.0 %");
  // The application title is the window's title: the task bar shows it.
  EXPECT_EQ(form.windowTitle(), "Update [ 50.0 %]");
  update::ShowProgress(view, 0, "", -1000);
  EXPECT_EQ(form.StatusPanels[4]->text(), "Update [beendet]");
  EXPECT_EQ(form.windowTitle(), "Update [beendet]");

  view.SetProgressMax(105);
  view.SetProgress(7);
  EXPECT_EQ(form.WaitProgressBar->maximum(), 105);
  EXPECT_EQ(view.Progress(), 7);

  // Real boxes, answered by the automation switch.
  setenv("UPDATE_AUTO_ANSWER", "no", 1);
  EXPECT_FALSE(view.AskQuestion("Info", "Weiter ?"));
  view.ShowError("Fehler", "Falsches Gerät angeschlossen !!");
  setenv("UPDATE_AUTO_ANSWER", "yes", 1);
  EXPECT_TRUE(view.AskQuestion("Info", "Weiter ?"));
  unsetenv("UPDATE_AUTO_ANSWER");
}

}  // namespace
}  // namespace shell
