// What the window's menu commands and keys do, apart from the widgets they touch: shared by the
// Qt window and the Win32 window, so both behave alike. No toolkit here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "package/file_report.h"
#include "shell/form_options.h"
#include "shell/update_session.h"

namespace shell {

// A file of the package folder, else of the folder the firmware is listed from, else beside the
// executable, else in an installed program's shared folder; empty when there is none.
std::filesystem::path FindBeside(const FormOptions& options,
                                 const std::filesystem::path& executableFolder,
                                 const std::string& name);

// The language file of the current language (found as above); in the package folder when there
// is none (the translation then learns it there).
std::filesystem::path LanguageFileOf(const FormOptions& options,
                                     const std::filesystem::path& executableFolder);

// The manual "Read me ..." opens: its file name by language and StartMode.
std::string ManualName(const FormOptions& options);

// What the box says when the manual could not be opened: manual is where it was found (empty:
// nowhere), name the file looked for.
std::string ManualFailureText(int32_t language, const std::filesystem::path& manual,
                              const std::string& name);

// The text of the version box: the package's version and the program's.
std::string VersionBoxText(const package::Settings& settings, std::string_view programVersion);

// The package's start text in language, expanded (no run yet: no device, no port).
std::string StartText(const FormOptions& options, int32_t language);

// A language chosen in the menu (tag 0 German, 1 English): taken for the ports' boxes and kept
// in Update.ini; a failed rewrite is reported to report, and the switch holds all the same.
void TakeLanguage(FormOptions& options, UpdateSession& session, int32_t tag,
                  package::FileReport& report);

// The hidden speed button: the wake-up sequence of the device kind on the first port.
void SendWakeSequence(const FormOptions& options, UpdateSession& session);

// Shift+F12: the log says so, then the instrument's clock is set.
void SetClockByKey(const FormOptions& options, UpdateSession& session, update::UpdateView& view);
// Ctrl+F1: debug log on or off; true while the notice is to be shown.
bool ToggleDebugMode(UpdateSession& session);
// Ctrl+Alt+F10: version check off or on; true while the notice is to be shown.
bool ToggleVersionCheck(UpdateSession& session);

// The percentage a run's title shows ("Update [ 45.0 %]"), nothing for any other title: the
// automation takes its picture of the programming by it.
std::optional<double> TitlePercent(std::string_view title);

}  // namespace shell
