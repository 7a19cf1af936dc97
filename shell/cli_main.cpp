// update-cli: the updater without a window. It runs in the current folder like the window
// (Update.ini, ProgDevice.ini; firmware files listed from the program's folder), presses OK once
// and prints what the window would show. Exit code 0 only after the success message.
#include <QCoreApplication>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "package/device_file.h"
#include "package/messages.h"
#include "package/settings.h"
#include "shell/console_view.h"
#include "shell/firmware_scan.h"
#include "shell/program_folder.h"
#include "shell/qt_window_system.h"
#include "shell/update_session.h"
#include "update/display.h"
#include "update/engine.h"
#include "update/port_table.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;
constexpr int kExitNotStarted = 2;
constexpr int kExitTimeout = 3;

constexpr char kHelp[] =
    "Usage: update-cli [--yes | --no] [--timeout SECONDS] [--trace FILE] [--retry N]\n"
    "\n"
    "Runs one firmware update without a window. Like the window it reads Update.ini and\n"
    "ProgDevice.ini from the current folder and lists the firmware files of the folder the\n"
    "program was started from (a link to the program inside the package counts), opens the\n"
    "serial ports, presses OK once and prints the log, the status panels and the progress.\n"
    "\n"
    "  --yes              answer every question with Yes\n"
    "  --no               answer every question with No (the default: the safe answer)\n"
    "  --timeout SECONDS  give up after this long (default 900)\n"
    "  --trace FILE       debug log: every command sent and every answer received (\" <-\")\n"
    "                     is logged, and the whole log is also written to FILE\n"
    "  --retry N          after a failure press OK again, up to N times (default 0); after a\n"
    "                     failed programming OK repeats the programming\n"
    "  --help             this text\n"
    "\n"
    "Exit codes: 0 the update succeeded; 1 the run ended without success (refused, declined or\n"
    "failed); 2 it did not start or no instrument was found; 3 the time ran out.\n"
    "\n"
    "Environment: UPDATE_PORT_DIR names a folder whose links COM1..COM256 are the ports;\n"
    "UPDATE_TIME_SCALE=N divides every delay and time-out by N (tests and the demo; default 1).\n";

struct Options {
  bool yes = false;
  int timeoutSeconds = 900;
  std::string traceFile;
  int retries = 0;
};

bool ParseOptions(int argc, char* argv[], Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--yes") {
      options.yes = true;
    } else if (arg == "--no") {
      options.yes = false;
    } else if (arg == "--timeout" && i + 1 < argc) {
      options.timeoutSeconds = std::atoi(argv[++i]);
      if (options.timeoutSeconds <= 0) return false;
    } else if (arg == "--retry" && i + 1 < argc) {
      char* end = nullptr;
      const long retries = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || end == argv[i] || retries < 0 || retries > 1000) return false;
      options.retries = static_cast<int>(retries);
    } else if (arg == "--trace" && i + 1 < argc) {
      options.traceFile = argv[++i];
    } else if (arg == "--help") {
      std::fputs(kHelp, stdout);
      std::exit(kExitSuccess);
    } else {
      return false;
    }
  }
  return true;
}

class ConsoleReport : public package::FileReport {
 public:
  void ShowError(std::string_view caption, std::string_view text) override {
    std::fprintf(stderr, "[%.*s] %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
  }
  void Note(std::string_view text) override {
    std::printf("%.*s\n", static_cast<int>(text.size()), text.data());
  }
};

}  // namespace

int main(int argc, char* argv[]) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(kHelp, stderr);
    return kExitNotStarted;
  }
  std::FILE* trace = nullptr;
  if (!options.traceFile.empty()) {
    trace = std::fopen(options.traceFile.c_str(), "w");
    if (!trace) {
      std::printf("update-cli: the trace file %s cannot be written: %s\n",
                  options.traceFile.c_str(), std::strerror(errno));
      return kExitNotStarted;
    }
  }
  QCoreApplication app(argc, argv);
  shell::QtWindowSystem windows;
  const std::filesystem::path workingFolder = std::filesystem::current_path();

  ConsoleReport report;
  package::Settings settings;
  package::DeviceDescription devices;
  if (package::ReadSettings(workingFolder, settings, report) != 0 ||
      package::ReadDeviceFile(workingFolder, devices, report) != 0) {
    std::puts("update-cli: the package files could not be read");
    return kExitNotStarted;
  }

  const shell::FirmwareScan firmware =
      shell::ScanPackageFirmware(shell::ProgramFolder(argc > 0 ? argv[0] : ""), devices);

  shell::ConsoleView view(stdout, options.yes);
  view.SetTrace(trace);
  for (const std::string& line : firmware.log) view.AppendLog(line);
  update::DownloadContext empty;
  view.AppendLog(update::ExpandMessage(devices.StartTextIn(settings.LanguageIndex),
                                       settings.LanguageIndex, empty, -1));

  shell::UpdateSession session(windows, view, settings, devices, firmware.files,
                               [&view](const std::string& caption, const std::string& text) {
                                 view.ShowError(caption, text);
                               });
  update::PortTable& ports = session.Ports();
  if (!settings.ComGiven && ports.PortCount == 0) {
    std::puts("update-cli: no usable serial port");
    return kExitNotStarted;
  }
  view.SetStatusPanel(0, session.OpenPorts());
  if (trace) session.Engine().DebugMode = 1;
  // A failure with retries left is answered with OK, as a user would press it.
  struct Retry {
    shell::ConsoleView& view;
    shell::UpdateSession& session;
    int left;
  } retry{view, session, options.retries};
  view.SetOnEnd(
      [](void* context) {
        auto& r = *static_cast<Retry*>(context);
        if (r.view.Result() == shell::ConsoleView::Outcome::Failed && r.left > 0) {
          --r.left;
          r.view.Resume();
          std::puts("update-cli: pressing OK again");
          QTimer::singleShot(0, [&r] { r.session.PressOk(); });
          return;
        }
        QCoreApplication::exit(0);
      },
      &retry);

  // The sequence has no time-out of its own after programming: it waits for the instrument.
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, [&] {
    std::printf("update-cli: no end after %d seconds: giving up\n", options.timeoutSeconds);
    std::fflush(stdout);
    ports.CloseAll();
    if (trace) std::fflush(trace);  // _Exit flushes no stream: keep the trace of a hung run
    std::_Exit(kExitTimeout);
  });
  deadline.start(options.timeoutSeconds * 1000);

  QTimer::singleShot(0, [&session] { session.PressOk(); });
  app.exec();
  ports.CloseAll();

  switch (view.Result()) {
    case shell::ConsoleView::Outcome::Success:
      std::puts("update-cli: update completed");
      return kExitSuccess;
    case shell::ConsoleView::Outcome::Closed:
      std::printf("update-cli: stopped: %s\n", view.Reason().c_str());
      return kExitNotStarted;
    default:
      std::printf("update-cli: the update did not complete: %s\n", view.Reason().c_str());
      return kExitFailed;
  }
}
