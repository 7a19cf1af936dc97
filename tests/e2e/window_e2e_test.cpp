// The real window, offscreen, updating instrument-sim over pseudo-terminals: OK clicked once,
// the run ends with the success text in the log and the flash equal to the image. Automated, the
// same run ends the program's event loop with exit code 0.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "shell/qt_window_system.h"
#include "shell/startup.h"
#include "shell/update_form.h"
#include "tests/e2e/cli_process.h"
#include "tests/e2e/image_update.h"
#include "tests/msp430/firmware_image.h"
#include "tests/serial/pty_fixture.h"
#include "tests/sim/sim_process.h"
#include "tests/sim/ti_txt.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_folder.h"
#include "update/run_record.h"

namespace e2e {
namespace {

class WindowEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    test::App();
    ASSERT_TRUE(sim.Ready()) << sim.Output();
    WritePackage(package.Path(), ImagePackage{msp430_test::TiTxt(image), "149", "", false});
    previous = std::filesystem::current_path();
    std::filesystem::current_path(package.Path());
    setenv("UPDATE_PORT_DIR", sim.Folder().c_str(), 1);
    setenv("UPDATE_TIME_SCALE", "10", 1);
  }
  void TearDown() override {
    unsetenv("UPDATE_TIME_SCALE");
    unsetenv("UPDATE_PORT_DIR");
    std::filesystem::current_path(previous);
  }

  shell::FormOptions Options() {
    std::optional<shell::FormOptions> options =
        shell::ReadStartupFiles(package.Path(), package.Path());
    EXPECT_TRUE(options.has_value());
    return options ? std::move(*options) : shell::FormOptions{};
  }

  void ExpectFlashEqualsImage() {
    sim.Stop(SIGTERM);
    std::map<uint32_t, uint8_t> flash;
    ASSERT_TRUE(simtest::ParseTiTxt(simtest::ReadFile(sim.File("flash.txt")), flash));
    for (const auto& [address, expected] : msp430_test::ImageBytes(image)) {
      const auto found = flash.find(address);
      ASSERT_EQ(found == flash.end() ? 0xFF : found->second, expected) << std::hex << address;
    }
  }

  simtest::SimProcess sim{
      "[identity]\nversion = 1.20\n[bootloader]\ntarget = classic\nversion = 1.60\n",
      {"--com", "3", "--silent-ports", "1,2", "--dump", "flash.txt"}};
  test::TempFolder package;
  const std::vector<Section> image = {
      kVersion, {0x1100, Pattern(500, 3)}, VectorTable(0xFFE0, 0x1100)};
  std::filesystem::path previous;
};

TEST_F(WindowEndToEnd, OkProgramsTheInstrument) {
  // The test program's own data folder (tests/support/own_data_folder.cpp) holds the record.
  const std::filesystem::path record = update::DefaultRecordFile();
  std::filesystem::remove(record);
  {
    shell::QtWindowSystem windows;
    shell::TUpdateForm form(windows, Options());
    form.show();
    EXPECT_EQ(form.StatusPanels[0]->text().toStdString(), "[Com1] [2] [3]");
    QTest::mouseClick(form.OkBitBtn, Qt::LeftButton);
    const auto done = [&] {
      return form.windowTitle() == QStringLiteral("Update [beendet]") &&
             form.UpdateMemo->toPlainText().contains("erfolgreich");
    };
    const uint32_t end = windows.TickCount() + 120000;
    while (!done() && !core::TickReached(windows.TickCount(), end)) {
      windows.WaitMessages(windows.TickCount() + 100);
    }
    const std::string log = form.UpdateMemo->toPlainText().toStdString();
    EXPECT_EQ(form.windowTitle().toStdString(), "Update [beendet]");
    EXPECT_THAT(log, ::testing::HasSubstr("Download erfolgreich ausgeführt !")) << log;
    EXPECT_THAT(log, ::testing::HasSubstr("COM 3"));
    EXPECT_EQ(form.SWStaticText->text().toStdString(), "1.30");
    EXPECT_EQ(form.StatusPanels[1]->text().toStdString(), "Com3");
    EXPECT_FALSE(form.OkBitBtn->isEnabled());
    EXPECT_FALSE(form.Sprache->isEnabled());  // no language change once a run has begun
    const std::filesystem::path artefacts = std::filesystem::path(UPDATER_BUILD_DIR) / "artefacts";
    std::filesystem::create_directories(artefacts);
    form.grab().save(QString::fromStdString((artefacts / "update-window-after-run.png").string()));
    // The run is one line of the record, and the Help menu opens the record.
    const std::string lines = simtest::ReadFile(record);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2) << lines;
    EXPECT_THAT(lines, ::testing::HasSubstr(",COM3,"));
    EXPECT_THAT(lines, ::testing::HasSubstr(",1.20,1.30,programmed,,,"));
    std::vector<std::filesystem::path> opened;
    form.SetDocumentOpener([&opened](const std::filesystem::path& file) {
      opened.push_back(file);
      return true;
    });
    EXPECT_TRUE(form.RunRecordClick());
    EXPECT_EQ(opened, std::vector<std::filesystem::path>{record});
    form.close();
  }
  ExpectFlashEqualsImage();
}

// The automation the benchmark uses: OK pressed by the program, and the event loop left with 0
// only once the run has ended with its success message, not at a step in between.
TEST_F(WindowEndToEnd, AnAutomaticRunEndsTheProgramWithItsSuccess) {
  {
    shell::QtWindowSystem windows;
    shell::TUpdateForm form(windows, Options());
    form.show();
    QTimer::singleShot(0, &form, [&form] { form.StartAutoRun(); });
    QTimer::singleShot(120000, &form, [] { QCoreApplication::exit(7); });  // a run that hangs
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_THAT(form.UpdateMemo->toPlainText().toStdString(),
                ::testing::HasSubstr("Download erfolgreich ausgeführt !"));
    form.close();
  }
  ExpectFlashEqualsImage();
}

// No instrument on the one port: the window gives up ("program aborted") and the program ends
// as a failure, never with the exit code of a success.
TEST_F(WindowEndToEnd, AnAutomaticRunThatFindsNoInstrumentEndsTheProgramAsAFailure) {
  ptytest::PortDir silent;
  silent.Add(1);
  setenv("UPDATE_PORT_DIR", silent.Path().c_str(), 1);
  setenv("UPDATE_AUTO_ANSWER", "yes", 1);
  shell::QtWindowSystem windows;
  shell::TUpdateForm form(windows, Options());
  form.show();
  QTimer::singleShot(0, &form, [&form] { form.StartAutoRun(); });
  QTimer::singleShot(120000, &form, [] { QCoreApplication::exit(7); });  // a run that hangs
  EXPECT_EQ(QCoreApplication::exec(), 1);
  unsetenv("UPDATE_AUTO_ANSWER");
}

// The pictures of the documentation: the program itself, offscreen, saves its window at the start,
// while programming and at the end of an automatic run, and the run still ends with its success.
TEST_F(WindowEndToEnd, TheProgramPicturesItsRunAtTheStartWhileProgrammingAndAtTheEnd) {
  test::TempFolder pictures;
  test::TempFolder settings;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("UPDATE_AUTO_ANSWER", "yes");
  environment.insert("UPDATE_AUTO_RUN", "1");
  environment.insert("UPDATE_SCREENSHOT_DIR", QString::fromStdString(pictures.Path().string()));
  environment.insert("XDG_CONFIG_HOME", QString::fromStdString(settings.Path().string()));
  // The title's percentage is read with a point under a German desktop too.
  environment.remove("LC_ALL");
  environment.remove("LC_NUMERIC");
  environment.insert("LANG", "de_DE.UTF-8");
  QProcess program;
  program.setProcessEnvironment(environment);
  program.setWorkingDirectory(QString::fromStdString(package.Path().string()));
  program.start(QStringLiteral(UPDATER_BUILD_DIR "/shell/update"));
  if (!program.waitForFinished(60000)) {
    program.kill();
    program.waitForFinished();
    FAIL() << "the program did not end";
  }
  EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
  std::map<std::string, QImage> shown;
  for (const char* moment : {"start", "programming", "end"}) {
    SCOPED_TRACE(moment);
    const QImage picture(QString::fromStdString((pictures.Path() / moment).string() + ".png"));
    ASSERT_FALSE(picture.isNull());
    EXPECT_GE(picture.width(), 400);
    EXPECT_GE(picture.height(), 300);
    shown[moment] = picture;
  }
  // Three moments, not one picture three times.
  EXPECT_NE(shown["start"], shown["programming"]);
  EXPECT_NE(shown["programming"], shown["end"]);
  ExpectFlashEqualsImage();
}

}  // namespace
}  // namespace e2e
