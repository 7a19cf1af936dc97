// update-cli: the updater without a window. It works on a firmware package like the window
// (Update.ini, ProgDevice.ini and the firmware files; see shell/package_folder.h), presses OK
// once and prints what the window would show. Exit code 0 only after the success message.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "check/package_check.h"
#include "core/thread_window_system.h"
#include "package/device_file.h"
#include "package/messages.h"
#include "package/settings.h"
#include "platform/program_folder.h"
#include "serial/port_inventory.h"
#include "serial/port_listing.h"
#include "serial/port_names.h"
#include "shell/console_output.h"
#include "shell/console_view.h"
#include "shell/firmware_scan.h"
#include "shell/gang_run.h"
#include "shell/package_folder.h"
#include "shell/update_session.h"
#include "update/display.h"
#include "update/engine.h"
#include "update/port_table.h"
#include "update/run_record.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;
constexpr int kExitNotStarted = 2;
constexpr int kExitTimeout = 3;

// How long the main loop sleeps when nothing arrives (it wakes earlier for any message).
constexpr uint32_t kIdleWakeMs = 1000;

// --timeout in milliseconds for the deadline timer; a very large value is cut to 24 days
// instead of wrapping around to a short one.
uint32_t DeadlineMs(int seconds) {
  constexpr uint32_t kLongest = 24u * 24 * 3600 * 1000;
  return static_cast<uint32_t>(std::min<int64_t>(int64_t{seconds} * 1000, kLongest));
}

// The ports' paragraph (serial::PortNamingHelp) follows the first part; it is the platform's.
constexpr char kHelp[] =
    "Usage: update-cli [OPTION]...\n"
    "  or:  update-cli --gang [--port PORT]... [OPTION]...\n"
    "  or:  update-cli --list-ports\n"
    "  or:  update-cli --check [--json] [--package FOLDER]\n"
    "\n"
    "Runs one firmware update without a window. It reads Update.ini and ProgDevice.ini of the\n"
    "firmware package (the current folder, or FOLDER) and lists its firmware files (a program\n"
    "placed inside a package, or a link to it there, lists the files beside it), opens the\n"
    "serial ports, presses OK once and prints the log, the status panels and the progress.\n"
    "\n"
    "  --package FOLDER   work on the firmware package in FOLDER\n"
    "  --port PORT        use only this port, by its COM number or its device (PORTS),\n"
    "                     as Com= in Update.ini would; with --gang it may be given\n"
    "                     several times: the gang uses only those ports\n"
    "  --gang             update one instrument on every usable port at once (one run per\n"
    "                     port, each searching only its own port); a table shows each port's\n"
    "                     instrument, step and result, and each port's log goes to a file of\n"
    "                     its own (see --logs); not with --trace or --retry\n"
    "  --logs FOLDER      with --gang: where the ports' logs go (default: the folder logs\n"
    "                     beside the default record)\n"
    "  --record FILE      enter the run in this record (CSV) instead of the default,\n"
    "                     $XDG_DATA_HOME/instrument-updater/runs.csv (on Windows in the\n"
    "                     local application data folder)\n"
    "  --no-record        enter the run in no record\n"
    "  --list-ports       list the serial ports with their COM numbers, devices, USB details\n"
    "                     and whether they can be used, then end\n"
    "  --check            check the firmware package without an instrument (no port is\n"
    "                     opened): for every device entry the files it names, the versions,\n"
    "                     the MSP430 blocks, erase plan and start address, sizes against the\n"
    "                     loaders' limits; then AirPressure.csv, language files and manuals.\n"
    "                     One line per finding: OK, warning or error\n"
    "  --json             with --check: the same findings as JSON\n"
    "  --yes              answer every question with Yes\n"
    "  --no               answer every question with No (the default: the safe answer)\n"
    "  --timeout SECONDS  give up after this long (default 900)\n"
    "  --trace FILE       debug log: every command sent and every answer received (\" <-\")\n"
    "                     is logged, and the whole log is also written to FILE\n"
    "  --retry N          after a failure press OK again, up to N times (default 0); after a\n"
    "                     failed programming OK repeats the programming\n"
    "  --help             this text\n"
    "\n";
constexpr char kHelpEnd[] =
    "Exit codes: 0 the update succeeded (or the ports were listed, or --check found no error);\n"
    "1 the run ended without success (refused, declined or failed; --check: an error found);\n"
    "2 it did not start, no instrument was found or the port may not be opened; 3 the time ran\n"
    "out.\n"
    "With --gang: 0 every port with an instrument ended programmed or already current and at\n"
    "least one instrument was found; 1 one failed or was declined; 2 none was found; 3 the time\n"
    "ran out.\n"
    "\n"
    "Environment: UPDATE_PORT_DIR names a folder whose links COM1..COM256 are the ports;\n"
    "UPDATE_TIME_SCALE=N divides every delay and time-out by N (tests and the demo; default 1).\n";

// The name the program was started by: the installed program has a longer one than the build's.
std::string ProgramName(const char* argv0) {
  std::string name = std::filesystem::path(argv0 ? argv0 : "").stem().string();
  return name.empty() ? "update-cli" : name;
}

std::string programName = "update-cli";

void PrintHelp(std::FILE* out) {
  std::string help = kHelp;
  for (size_t at = help.find("update-cli"); at != std::string::npos;
       at = help.find("update-cli", at + programName.size())) {
    help.replace(at, std::strlen("update-cli"), programName);
  }
  help.replace(help.find("PORTS"), std::strlen("PORTS"), serial::PortExamples());
  std::fputs(help.c_str(), out);
  std::fputs(serial::PortNamingHelp(), out);
  std::fputs("\n", out);
  std::fputs(kHelpEnd, out);
}

struct Options {
  bool yes = false;
  bool listPorts = false;
  bool check = false;
  bool json = false;
  std::string package;
  std::string port;
  std::vector<std::string> ports;  // every --port, for the gang
  bool gang = false;
  bool record = true;
  std::string recordFile;
  std::string logFolder;
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
    } else if (arg == "--list-ports") {
      options.listPorts = true;
    } else if (arg == "--check") {
      options.check = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--package" && i + 1 < argc) {
      options.package = argv[++i];
    } else if (arg == "--port" && i + 1 < argc) {
      options.port = argv[++i];
      options.ports.push_back(options.port);
    } else if (arg == "--gang") {
      options.gang = true;
    } else if (arg == "--record" && i + 1 < argc) {
      // Named from where the program was started, before it enters the package folder.
      std::error_code error;
      options.recordFile = std::filesystem::absolute(argv[++i], error).string();
      options.record = true;
    } else if (arg == "--no-record") {
      options.record = false;
    } else if (arg == "--logs" && i + 1 < argc) {
      std::error_code error;
      options.logFolder = std::filesystem::absolute(argv[++i], error).string();
    } else if (arg == "--retry" && i + 1 < argc) {
      char* end = nullptr;
      const long retries = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || end == argv[i] || retries < 0 || retries > 1000) return false;
      options.retries = static_cast<int>(retries);
    } else if (arg == "--trace" && i + 1 < argc) {
      options.traceFile = argv[++i];
    } else if (arg == "--help") {
      PrintHelp(stdout);
      std::exit(kExitSuccess);
    } else {
      return false;
    }
  }
  if (options.json && !options.check) return false;
  // A gang keeps its log per port and presses OK once; a single run takes the last --port.
  return !options.gang || (options.traceFile.empty() && options.retries == 0);
}

class ConsoleReport : public package::FileReport {
 public:
  explicit ConsoleReport(std::filesystem::path workingFolder)
      : workingFolder_(std::move(workingFolder)) {}

  void ShowError(std::string_view caption, std::string_view text) override {
    const std::string shown = shell::StartupErrorText(text, workingFolder_, language);
    if (shown != text) caption = messages::Text(messages::CAPTION_ERROR, language);
    std::fprintf(stderr, "[%.*s] %s\n", static_cast<int>(caption.size()), caption.data(),
                 shown.c_str());
  }
  void Note(std::string_view text) override {
    std::printf("%.*s\n", static_cast<int>(text.size()), text.data());
  }

  int language = shell::DesktopLanguage();

 private:
  std::filesystem::path workingFolder_;
};

// One of the program's own lines, "update-cli: " and the text.
void Say(const std::string& text) {
  std::printf("update-cli: %s\n", text.c_str());
}

// --list-ports: every port present, then the fix for those this user may not open, in the
// desktop's language (no package is read).
int ListPorts() {
  const int language = shell::DesktopLanguage();
  serial::PortInventory inventory;
  inventory.Take();
  const std::vector<serial::PortListing> ports = serial::DescribePorts(inventory);
  if (ports.empty())
    std::puts(std::string(messages::Text(messages::LIST_NO_PORTS, language)).c_str());
  const serial::ListingWords words{messages::Text(messages::LIST_USABLE, language),
                                   messages::Text(messages::LIST_BUSY, language),
                                   messages::Text(messages::LIST_NOT_PERMITTED, language),
                                   messages::Text(messages::LIST_SERIAL_NUMBER, language)};
  for (const serial::PortListing& port : ports) {
    std::puts(serial::ListingLine(port, words).c_str());
  }
  const std::string hint =
      update::PermissionHint(std::vector<int>(inventory.DeniedList.begin(),
                                              inventory.DeniedList.begin() + inventory.DeniedCount),
                             language);
  if (!hint.empty()) std::puts(hint.c_str());
  return kExitSuccess;
}

// --check: the report of the package in the working folder, with the firmware files a run would
// list; 0 without an error, 1 with one.
int CheckPackage(const char* argv0, bool packageGiven, bool json) {
  const std::filesystem::path workingFolder = std::filesystem::current_path();
  const shell::FirmwareScan firmware = shell::ScanFirmwareFiles(
      shell::FirmwareFolder(platform::ProgramFolder(argv0), workingFolder, packageGiven), {},
      shell::DesktopLanguage());
  package::CheckReport report = check::CheckPackage(firmware.files, shell::DesktopLanguage());
  // A missing Update.ini or ProgDevice.ini is said with the folders searched and what to do.
  for (package::CheckFinding& finding : report.findings) {
    finding.text = shell::StartupErrorText(finding.text, workingFolder, report.language);
  }
  const std::string text =
      json ? package::CheckReportJson(report) : package::CheckReportText(report);
  std::fputs(text.c_str(), stdout);
  return report.HasErrors() ? kExitFailed : kExitSuccess;
}

void SayNotAPort(const std::string& choice, int32_t language) {
  Say(messages::Filled(messages::CLI_NOT_A_PORT, language, choice));
}

// --port: the one port to use, as Com= would fix it.
bool ChoosePort(const std::string& choice, package::Settings& settings) {
  const std::optional<int> index = serial::PortIndexOfChoice(choice);
  if (!index) {
    SayNotAPort(choice, settings.LanguageIndex);
    return false;
  }
  settings.ComGiven = 1;
  settings.ComIndex = *index;
  return true;
}

// The record the runs are entered in: --record, else the default; none with --no-record.
std::filesystem::path RecordFile(const Options& options) {
  if (!options.record) return {};
  if (!options.recordFile.empty()) return options.recordFile;
  return update::DefaultRecordFile();
}

shell::UpdateSession::RunEnd EndOf(shell::ConsoleView::Outcome outcome) {
  switch (outcome) {
    case shell::ConsoleView::Outcome::Success:
      return shell::UpdateSession::RunEnd::kSuccess;
    case shell::ConsoleView::Outcome::Closed:
      return shell::UpdateSession::RunEnd::kClosed;
    default:
      return shell::UpdateSession::RunEnd::kFailed;
  }
}

// --gang: the chosen ports must be ports of this machine; the logs go beside the record.
int RunGang(const Options& options, package::Settings settings, package::DeviceDescription devices,
            const shell::FirmwareScan& firmware) {
  shell::GangSetup setup;
  for (const std::string& choice : options.ports) {
    const std::optional<int> index = serial::PortIndexOfChoice(choice);
    if (!index || !serial::PortDeviceOf(*index)) {
      SayNotAPort(choice, settings.LanguageIndex);
      return kExitNotStarted;
    }
    if (std::find(setup.ports.begin(), setup.ports.end(), *index) == setup.ports.end())
      setup.ports.push_back(*index);
  }
  setup.settings = std::move(settings);
  setup.devices = std::move(devices);
  setup.firmwareFiles = firmware.files;
  setup.firmwareLog = firmware.log;
  setup.answerYes = options.yes;
  setup.timeoutSeconds = options.timeoutSeconds;
  setup.recordFile = RecordFile(options);
  if (!options.logFolder.empty()) {
    setup.logFolder = options.logFolder;
  } else if (const std::filesystem::path record = update::DefaultRecordFile(); !record.empty()) {
    setup.logFolder = record.parent_path() / "logs";
  } else {
    setup.logFolder = std::filesystem::temp_directory_path() / "instrument-updater-logs";
  }
  setup.out = stdout;
  setup.terminal = shell::IsRedrawableTerminal(stdout);
  return shell::RunGang(std::move(setup));
}

}  // namespace

int main(int argc, char* argv[]) {
  programName = ProgramName(argc > 0 ? argv[0] : nullptr);
  shell::UseUtf8Console();
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    PrintHelp(stderr);
    return kExitNotStarted;
  }
  std::FILE* trace = nullptr;
  if (!options.traceFile.empty()) {
    trace = std::fopen(options.traceFile.c_str(), "w");
    if (!trace) {
      Say(messages::Filled(messages::CLI_TRACE_NOT_WRITTEN, shell::DesktopLanguage(),
                           options.traceFile, std::strerror(errno)));
      return kExitNotStarted;
    }
  }
  if (options.listPorts) return ListPorts();
  if (!options.package.empty()) {
    if (const std::string failure =
            shell::EnterPackageFolder(options.package, shell::DesktopLanguage());
        !failure.empty()) {
      std::printf("update-cli: %s\n", failure.c_str());
      return kExitNotStarted;
    }
  }
  if (options.check)
    return CheckPackage(argc > 0 ? argv[0] : "", !options.package.empty(), options.json);
  core::ThreadWindowSystem windows;
  const std::filesystem::path workingFolder = std::filesystem::current_path();

  ConsoleReport report(workingFolder);
  package::Settings settings;
  package::DeviceDescription devices;
  if (package::ReadSettings(workingFolder, settings, report) != 0) {
    Say(std::string(messages::Text(messages::CLI_PACKAGE_UNREADABLE, report.language)));
    return kExitNotStarted;
  }
  report.language = settings.LanguageIndex;
  if (package::ReadDeviceFile(workingFolder, devices, report, settings.LanguageIndex) != 0) {
    Say(std::string(messages::Text(messages::CLI_PACKAGE_UNREADABLE, report.language)));
    return kExitNotStarted;
  }
  if (!options.port.empty() && !ChoosePort(options.port, settings)) return kExitNotStarted;

  const shell::FirmwareScan firmware = shell::ScanPackageFirmware(
      shell::FirmwareFolder(platform::ProgramFolder(argc > 0 ? argv[0] : ""), workingFolder,
                            !options.package.empty()),
      devices, settings.LanguageIndex);

  if (options.gang) return RunGang(options, std::move(settings), std::move(devices), firmware);

  const int32_t language = settings.LanguageIndex;
  shell::ConsoleView view(stdout, options.yes, language);
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
  session.SetRecordFile(RecordFile(options));
  if (!options.port.empty() && !ports.PortPresent(settings.ComIndex)) {
    SayNotAPort(options.port, settings.LanguageIndex);  // a COM name this machine does not have
    return kExitNotStarted;
  }
  if (const std::string problem = session.PortProblem(); !problem.empty()) {
    view.ShowError(messages::Text(messages::CAPTION_ERROR, settings.LanguageIndex), problem);
    return kExitNotStarted;
  }
  view.SetStatusPanel(0, session.OpenPorts());
  for (const std::string& note : session.PortNotes()) view.AppendLog(note);
  if (trace) session.Engine().DebugMode = 1;
  // A failure with retries left is answered with OK, as a user would press it: a one-shot
  // timer presses it once the failure has been handled.
  std::unique_ptr<core::WindowTimer> pressAgain = windows.CreateTimer();
  pressAgain->SetInterval(1);
  pressAgain->SetHandler([&](core::WindowTimer& timer) {
    timer.SetEnabled(false);
    session.PressOk();
  });
  struct RunEnd {
    shell::ConsoleView& view;
    core::WindowTimer& pressAgain;
    int retriesLeft;
    int32_t language;
    bool ended = false;
  } end{view, *pressAgain, options.retries, language};
  view.SetOnEnd(
      [](void* context) {
        auto& e = *static_cast<RunEnd*>(context);
        if (e.view.Result() == shell::ConsoleView::Outcome::Failed && e.retriesLeft > 0) {
          --e.retriesLeft;
          e.view.Resume();
          Say(std::string(messages::Text(messages::CLI_TRYING_AGAIN, e.language)));
          e.pressAgain.SetEnabled(true);
          return;
        }
        e.ended = true;
      },
      &end);

  // The sequence has no time-out of its own after programming: it waits for the instrument.
  // The deadline is a window timer, so it also ends a run that hangs inside a nested wait.
  std::unique_ptr<core::WindowTimer> deadline = windows.CreateTimer();
  deadline->SetInterval(DeadlineMs(options.timeoutSeconds));
  deadline->SetHandler([&](core::WindowTimer&) {
    Say(messages::Filled(messages::CLI_NO_END, language, std::to_string(options.timeoutSeconds)));
    session.RecordRun(shell::UpdateSession::RunEnd::kFailed, view.AnsweredNo());
    std::fflush(stdout);
    ports.CloseAll();
    if (trace) std::fflush(trace);  // _Exit flushes no stream: keep the trace of a hung run
    std::_Exit(kExitTimeout);
  });
  deadline->SetEnabled(true);

  session.PressOk();
  while (!end.ended) windows.WaitMessages(windows.TickCount() + kIdleWakeMs);
  session.RecordRun(EndOf(view.Result()), view.AnsweredNo());
  ports.CloseAll();

  switch (view.Result()) {
    case shell::ConsoleView::Outcome::Success:
      Say(std::string(messages::Text(messages::CLI_COMPLETED, language)));
      return kExitSuccess;
    case shell::ConsoleView::Outcome::Closed:
      Say(messages::Filled(messages::CLI_STOPPED, language, view.Reason()));
      return kExitNotStarted;
    default:
      Say(messages::Filled(messages::CLI_NOT_COMPLETED, language, view.Reason()));
      return kExitFailed;
  }
}
