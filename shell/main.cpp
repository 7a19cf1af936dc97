// Program entry of the updater window. Its one option, --package DIR, names the firmware package
// to work on (else the working folder). Automation: UPDATE_SCREENSHOT saves a picture of the
// window and ends; UPDATE_AUTO_ANSWER answers message boxes (see shell/message_box.h);
// UPDATE_AUTO_RUN=1 presses OK once the window is shown and ends the program with the run (exit
// code 0 after success, 1 after a failure).
#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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
    const std::string package = PackageOption(QCoreApplication::arguments());
    if (!package.empty()) {
      if (const std::string failure =
              shell::EnterPackageFolder(package, UpdaterApplication::language);
          !failure.empty()) {
        const int32_t language = UpdaterApplication::language;
        shell::ShowMessageBox(nullptr, language, update::BoxIcon::Error, update::BoxButtons::Ok,
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
    if (const char* autoRun = std::getenv("UPDATE_AUTO_RUN"); autoRun && *autoRun == '1') {
      QTimer::singleShot(0, &form, [&form] { form.StartAutoRun(); });
    }
    return app.exec();
  } catch (const std::exception& error) {
    UpdaterApplication::Fail(error.what());
    return 3;
  }
}
