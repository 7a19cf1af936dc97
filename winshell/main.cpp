// Program entry of the updater window on Windows. Its one option, --package DIR, names the
// firmware package to work on; without it the window opens on the working folder when that
// holds a package, else on the package folder that worked last time, else on one the user
// chooses in a folder dialog (cancel ends the program with exit code 2).
//
// Automation (tests, scripts, the documentation's pictures), by environment variables, as for
// the Linux window:
//   UPDATE_AUTO_ANSWER=yes|no  message boxes answer themselves (see winshell/win_dialogs.h).
//   UPDATE_AUTO_FOLDER=DIR     the folder dialog chooses DIR.
//   UPDATE_AUTO_RUN=1          OK is pressed once the window is shown; the program ends with the
//                              run (exit code 0 after success, 1 after a failure).
//   UPDATE_SCREENSHOT=FILE     a PNG picture of the window once it is shown, then the program
//                              ends.
//   UPDATE_SCREENSHOT_DIR=DIR  pictures of the window in DIR: start.png once it is shown (before
//                              an automatic run presses OK), programming.png once the run's
//                              title shows 40 % or more, end.png when the automatic run ends.
//   UPDATE_LIST_CONTROLS=FILE  once the window is shown: one line per control and menu item,
//                              its name, a tab and its text (UTF-8), then the status panels.
#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <shellapi.h>

#include <exception>
#include <optional>
#include <string>

#include "core/win_text.h"
#include "package/messages.h"
#include "platform/program_folder.h"
#include "shell/package_folder.h"
#include "shell/startup.h"
#include "winshell/update_window.h"
#include "winshell/win_dialogs.h"
#include "winshell/win_window_system.h"

namespace {

// The folder after --package, or an empty text without the option.
std::string PackageOption() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::string folder;
  for (int i = 1; arguments && i + 1 < count; ++i) {
    if (std::wstring(arguments[i]) == L"--package") folder = wintext::Utf8(arguments[i + 1]);
  }
  LocalFree(arguments);
  return folder;
}

int Fail(int32_t language, const std::string& what) {
  winshell::ShowBox(nullptr, language, update::BoxIcon::Error, update::BoxButtons::Ok,
                    messages::Text(messages::CAPTION_ERROR, language), what);
  return 3;
}

}  // namespace

int main() {
  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  // The language of an error box: the desktop's until Update.ini gives the run's.
  int32_t language = shell::DesktopLanguage();
  try {
    winshell::Win32WindowSystem windows;
    // Package files are read from the working folder; firmware files are listed from the
    // program's folder when it lives in a package, else from the package.
    std::optional<shell::FormOptions> options =
        shell::OpenPackage(PackageOption(), platform::ProgramFolder(""));
    if (!options) return shell::kStartupFailed;  // the user cancelled, or a box has said why
    language = options->settings.LanguageIndex;
    winshell::TUpdateForm form(windows, std::move(*options));
    form.Show();
    const int result = windows.Run();
    return result != 0 ? result : form.ExitCode();
  } catch (const std::exception& error) {
    return Fail(language, error.what());
  }
}
