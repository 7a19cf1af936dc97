// Program entry of the updater window. Its one option, --package DIR, names the firmware package
// to work on; without it the window opens on the working folder when that holds a package, else
// on the package folder that worked last time, else on one the user chooses in a folder dialog
// (cancel ends the program with exit code 2).
//
// Automation (tests, scripts, the documentation's pictures), by environment variables:
//   UPDATE_AUTO_ANSWER=yes|no  message boxes answer themselves (see shell/message_box.h).
//   UPDATE_AUTO_FOLDER=DIR     the folder dialog chooses DIR (see shell/package_choice.h).
//   UPDATE_AUTO_RUN=1          OK is pressed once the window is shown; the program ends with the
//                              run (exit code 0 after success, 1 after a failure).
//   UPDATE_SCREENSHOT=FILE     a picture of the window once it is shown, then the program ends.
//   UPDATE_SCREENSHOT_DIR=DIR  pictures of the window in DIR: start.png once it is shown (before
//                              an automatic run presses OK), programming.png once the run's
//                              title shows 40 % or more, end.png when the automatic run ends.
#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "package/messages.h"
#include "platform/program_folder.h"
#include "shell/message_box.h"
#include "shell/package_folder.h"
#include "shell/qt_window_system.h"
#include "shell/startup.h"
#include "shell/update_form.h"

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
      Fail(messages::Text(messages::MSG_UNKNOWN_ERROR, language));
    }
    return false;
  }

  static void Fail(std::string_view what) {
    shell::ShowMessageBox(nullptr, language, update::BoxIcon::Error, update::BoxButtons::Ok,
                          messages::Text(messages::CAPTION_ERROR, language), what);
    QCoreApplication::exit(3);
  }

  // The language of the error box: the desktop's until Update.ini gives the run's.
  static inline int32_t language = 1;
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
  UpdaterApplication::language = shell::DesktopLanguage();
  try {
    // Package files are read from the working folder; firmware files are listed from the
    // program's folder when it lives in a package, else from the package.
    std::optional<shell::FormOptions> options =
        shell::OpenPackage(PackageOption(QCoreApplication::arguments()),
                           platform::ProgramFolder(argc > 0 ? argv[0] : ""));
    if (!options) return shell::kStartupFailed;  // the user cancelled, or a box has said why
    UpdaterApplication::language = options->settings.LanguageIndex;
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
    const char* autoRun = std::getenv("UPDATE_AUTO_RUN");
    const bool running = autoRun && *autoRun == '1';
    if (const char* pictures = std::getenv("UPDATE_SCREENSHOT_DIR"); pictures && *pictures) {
      form.SavePicturesIn(std::filesystem::path(pictures));
      // The start picture once the window has been laid out and painted; OK only after it.
      QTimer::singleShot(300, &form, [&form, running] {
        form.TakePicture("start.png");
        if (running) form.StartAutoRun();
      });
    } else if (running) {
      QTimer::singleShot(0, &form, [&form] { form.StartAutoRun(); });
    }
    return app.exec();
  } catch (const std::exception& error) {
    UpdaterApplication::Fail(error.what());
    return 3;
  }
}
