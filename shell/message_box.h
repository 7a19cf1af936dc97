// Modal message boxes of the window, and the conversion of the program's texts for widgets.
#pragma once

#include <QString>
#include <cstdint>
#include <string_view>

#include "update/update_view.h"

class QWidget;

namespace shell {

// UTF-8 text with CR LF or lone CR line breaks as a widget shows it.
QString ToDisplayText(std::string_view text);

// Shows a modal box with its buttons labelled in language (the catalogue's, see
// messages::LanguageRow) and returns the chosen button. For automation (tests, scripts without a
// person): when the environment variable UPDATE_AUTO_ANSWER is "yes" or "no", every box still
// opens but answers itself at once (OK boxes with OK), and its caption, text and answer are
// written to standard error.
update::BoxAnswer ShowMessageBox(QWidget* parent, int32_t language, update::BoxIcon icon,
                                 update::BoxButtons buttons, std::string_view caption,
                                 std::string_view text);

}  // namespace shell
