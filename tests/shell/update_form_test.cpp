#include "shell/update_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
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
#include "tests/support/qt_app.h"
#include "tests/support/temp_folder.h"

namespace shell {
namespace {

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
  TUpdateForm form(windows, FormOptions{folder.Path(), {"Multi480e"}});
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
  for (int i = 0; i < 5; ++i) EXPECT_EQ(form.StatusPanels[i]->width(), widths[i]);
  EXPECT_EQ(form.StatusPanels[0]->text(), "Com X");
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
  TUpdateForm form(windows, FormOptions{folder.Path(), {"Multi480e"}});
  EXPECT_EQ(form.DLListBox->count(), 0);
  EXPECT_FALSE(form.TG480eProgrammingItem->isVisible());
  EXPECT_FALSE(form.DevMulti480e->isEnabled());
}

}  // namespace
}  // namespace shell
