// Program entry of the updater window. The window takes no command-line options.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "shell/program_folder.h"
#include "shell/qt_window_system.h"
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
    shell::FormOptions options;
    options.programFolder = shell::ProgramFolder(argc > 0 ? argv[0] : "");
    shell::TUpdateForm form(windows, options);
    form.show();
    return app.exec();
  } catch (const std::exception& error) {
    UpdaterApplication::Fail(error.what());
    return 3;
  }
}
