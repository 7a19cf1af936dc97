// Program entry of the updater window. Its one option, --package DIR, names the firmware package
// to work on (else the working folder). Automation: UPDATE_SCREENSHOT saves a picture of the
// window and ends; UPDATE_AUTO_ANSWER answers message boxes (see shell/message_box.h);
// UPDATE_AUTO_RUN=1 presses OK once the window is shown and ends the program with the run (exit
// code 0 after success, 1 after a failure).
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>

#include "package/messages.h"
#include "shell/message_box.h"
#include "shell/package_folder.h"
#include "shell/program_folder.h"
#include "shell/qt_window_system.h"
#include "shell/startup.h"

namespace {

// An exception that escapes an event handler is shown in an error box; the program then ends.
class UpdaterApplication : public QApplication {
 public:
  using QApplication::QApplication;

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
      Fail(error.what());
    } catch (...) {
      Fail("Unknown error");
    }
    return false;
  }

  static void Fail(const char* what) {
    QMessageBox::critical(nullptr, QStringLiteral("Error"), QString::fromUtf8(what));
    QCoreApplication::exit(3);
  }
};

// The folder after --package, or an empty text without the option.
std::string PackageOption(const QStringList& arguments) {
  const qsizetype at = arguments.indexOf(QStringLiteral("--package"));
  return at > 0 && at + 1 < arguments.size() ? arguments[at + 1].toStdString() : std::string();
}

}  // namespace

int main(int argc, char* argv[]) {
  UpdaterApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Update"));
  shell::QtWindowSystem windows;
  try {
    const std::string package = PackageOption(QCoreApplication::arguments());
    if (!package.empty()) {
      if (const std::string failure = shell::EnterPackageFolder(package); !failure.empty()) {
        const int language = shell::DesktopLanguage();
        shell::ShowMessageBox(nullptr, update::BoxIcon::Error, update::BoxButtons::Ok,
                              messages::Text(messages::CAPTION_ERROR, language), failure);
        return shell::kStartupFailed;
      }
    }
    // Package files are read from the working folder; firmware files are listed from the
    // program's folder when it lives in a package, else from the working folder.
    const std::filesystem::path working = std::filesystem::current_path();
    std::optional<shell::FormOptions> options = shell::ReadStartupFiles(
        working, shell::FirmwareFolder(shell::ProgramFolder(argc > 0 ? argv[0] : ""), working,
                                       !package.empty()));
    if (!options) return shell::kStartupFailed;  // the reader has shown why
    shell::TUpdateForm form(windows, std::move(*options));
    form.show();
    // UPDATE_SCREENSHOT=FILE: save a picture of the window once it is shown, then end (the demo
    // uses it where no display is present).
    if (const char* shot = std::getenv("UPDATE_SCREENSHOT"); shot && *shot) {
      QTimer::singleShot(300, &form, [&form, shot] {
        form.grab().save(QString::fromLocal8Bit(shot));
        form.close();
      });
    }
    if (const char* autoRun = std::getenv("UPDATE_AUTO_RUN"); autoRun && *autoRun == '1') {
      QTimer::singleShot(0, &form, [&form] { form.StartAutoRun(); });
    }
    return app.exec();
  } catch (const std::exception& error) {
    UpdaterApplication::Fail(error.what());
    return 3;
  }
}
