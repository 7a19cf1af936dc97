// The Win32 window's modal boxes: message boxes with buttons in the run's language, the version
// box of the resource script, the folder dialog of the first start and the remembered package
// folder. For automation (tests, scripts without a person) they behave as the Qt window's:
// UPDATE_AUTO_ANSWER=yes|no makes every box answer itself once it is open, and writes its
// caption, text and answer to standard error; UPDATE_AUTO_FOLDER=DIR answers the folder dialog.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "update/update_view.h"

namespace winshell {

// UTF-8 text with LF, CR LF or lone CR line breaks as a Win32 control shows it (CR LF).
std::wstring DisplayText(std::string_view text);

// A modal message box owned by owner (may be null); its buttons are labelled from the catalogue
// in language.
update::BoxAnswer ShowBox(HWND owner, int32_t language, update::BoxIcon icon,
                          update::BoxButtons buttons, std::string_view caption,
                          std::string_view text);

// The version box (dialog IDD_VERSION of the resource script): caption and text given.
void ShowVersionBox(HWND owner, int32_t language, std::string_view caption, std::string_view text);

}  // namespace winshell
