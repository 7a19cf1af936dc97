// Program entry of the updater window. The window takes no command-line options. Automation:
// UPDATE_SCREENSHOT saves a picture of the window and ends; UPDATE_AUTO_ANSWER answers message
// boxes (see shell/message_box.h).
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>

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

}  // namespace

int main(int argc, char* argv[]) {
  UpdaterApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Update"));
  shell::QtWindowSystem windows;
  try {
    // Package files are read from the working folder, firmware files listed from the program's.
    std::optional<shell::FormOptions> options = shell::ReadStartupFiles(
        std::filesystem::current_path(), shell::ProgramFolder(argc > 0 ? argv[0] : ""));
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
    return app.exec();
  } catch (const std::exception& error) {
    UpdaterApplication::Fail(error.what());
    return 3;
  }
}
